#pragma once
// `orvanta-capture screen`: registers the screen modules of the program folder's system/, hosts
// the screen capture control by its class identifier and records through dispatch names only, in
// the order the screen recorder page calls them.
#include <filesystem>
#include <ostream>

#include "tools/capture/ScreenArguments.h"

int RunScreenCommand(const ScreenRequest& request, std::ostream& out, std::ostream& err,
                     const std::filesystem::path& programFolder);
