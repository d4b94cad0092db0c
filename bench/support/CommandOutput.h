#pragma once

#include <string>

// Standard output of a shell command, without its trailing newlines and commas; empty when it
// could not be started.
std::string CommandOutput(const std::string& command);
