#pragma once
// A command line split into arguments as a POSIX shell splits words, without any expansion:
// blanks (space, tab, newline) separate arguments; '...' keeps everything literally; inside "..."
// a backslash escapes only " \ $ ` and newline; outside quotes a backslash keeps the next
// character. Quoted pieces join their neighbours ("a"'b'c is one argument abc; "" is an empty
// argument). Empty result when a quote is left open or the line ends in a lone backslash.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line);

// Quotes one argument so that SplitCommandLine gives it back unchanged, whatever it holds.
std::string QuoteArgument(std::string_view argument);
// The command line whose SplitCommandLine is exactly `arguments`.
std::string JoinCommandLine(const std::vector<std::string>& arguments);
