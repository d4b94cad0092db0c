#pragma once

#include <filesystem>

// A private registry, runtime and configuration folder with only the virtual devices, so a
// benchmark never touches the user's settings or real devices. Empty when it cannot be made.
std::filesystem::path MakeBenchEnvironment();
