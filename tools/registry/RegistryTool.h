#pragma once
// The commands of orvanta-registry:
//   list                 classes (module, ProgID, type name), registered filters by merit and
//                        type libraries (version, help string, module) of the registry store
//   register FILE        loads FILE and calls its DllRegisterServer
//   unregister FILE      loads FILE and calls its DllUnregisterServer
//   record-platform      records the media platform's version (platform/os/MediaPlatform.h)
// Results go to `out`, failures to `err` with the HRESULT as 0x%08X. Run() returns the exit code:
// 0 on success, 1 on failure, 2 for a command line it does not understand.
#include <ostream>
#include <string>
#include <vector>

#include "platform/base/HResult.h"

class RegistryTool {
public:
    RegistryTool(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    int Run(const std::vector<std::string>& args);

    // "0x80040154 (class not registered)" and the like, for every code the tool can meet.
    static std::string DescribeResult(HRESULT hr);

private:
    int List();
    int CallEntry(const std::string& file, const char* entry);
    int RecordPlatform();
    void Usage();

    std::ostream& out_;
    std::ostream& err_;
};
