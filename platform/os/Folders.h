#pragma once
// The folders the program finds its files in. Paths use "/"; a folder comes without a trailing
// "/" (callers append "/name"), except the temporary folder, which ends with one.
#include <string>

// The folder of the running executable.
std::string GetProgramFolder();
// The folder of the executable or shared library that holds `address` (a module finds its own
// files with the address of one of its functions); empty when no module file holds it.
std::string GetModuleFolder(const void* address);
// $TMPDIR when it names an existing folder, else "/tmp/"; always ends with "/".
std::string GetTempFolder();
// The "Windows folder": system/ inside the program folder.
std::string GetWindowsFolder();
// Where settings files go: the program folder when it is writable, else $XDG_CONFIG_HOME/orvanta
// (~/.config/orvanta), created when missing.
std::string GetSettingsFolder();
std::string GetSettingsFolderFor(const std::string& programFolder);
