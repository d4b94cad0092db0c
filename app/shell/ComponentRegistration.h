#pragma once
// The component files start-up registers, in their order: each is loaded and its
// DllRegisterServer called. A file that cannot be loaded, or exports no registration entry, is
// skipped, except the two start-up cannot do without (the capture control and the screen
// capture control), whose absence stops start-up.
#include <string>
#include <vector>

struct ComponentFile {
    const char* name;      // as the table names it ("Grabwell.ocx")
    bool inWindowsFolder;  // else the program folder
    bool required;
};

// The nine files, in registration order.
const std::vector<ComponentFile>& ComponentFiles();

// The file a component name stands for here: ".ocx", ".dll" and ".ax" become ".so".
std::string ModuleFileName(const std::string& name);

struct RegistrationResult {
    bool ok = true;
    std::string missingRequired;            // the required file that could not be loaded
    std::vector<std::string> registered;    // the files whose DllRegisterServer was called
};

// Registers the files from the two folders; stops at a required file that cannot be loaded.
// Loaded modules stay loaded for the life of the process.
RegistrationResult RegisterComponents(const std::string& programFolder,
                                      const std::string& windowsFolder);
