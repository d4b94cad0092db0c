#pragma once
// The commands of orvanta-capture (see CaptureArguments.h): registers the program folder's
// modules, hosts the capture control and drives it by dispatch names. Results go to `out`,
// failures to `err`. Run() returns the exit code: 0 done, 1 failed, 2 a command line it does not
// understand.
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/com/ModuleLoader.h"
#include "tools/capture/CaptureArguments.h"
#include "tools/capture/CaptureControl.h"

class CaptureTool {
public:
    CaptureTool(std::ostream& out, std::ostream& err, std::filesystem::path programFolder)
        : out_(out), err_(err), programFolder_(std::move(programFolder)) {}

    int Run(const std::vector<std::string>& args);

private:
    bool RegisterModules();
    bool CreateControl(CaptureControl& control);
    int List(CaptureControl& control);
    int Record(CaptureControl& control, const CaptureRequest& request);
    int Snapshot(CaptureControl& control, const CaptureRequest& request);
    int Broadcast(CaptureControl& control, const CaptureRequest& request);

    // Selects the named video device (or keeps the first) and re-reads its formats.
    bool SelectDevice(CaptureControl& control, const std::optional<std::string>& name);
    // Sets a property; false (with a message) when the control refused it.
    bool Set(CaptureControl& control, const std::string& property, Variant value);
    // Start with its failures told apart; true when the capture runs.
    bool Start(CaptureControl& control);
    int Fail(const std::string& message);

    std::ostream& out_;
    std::ostream& err_;
    std::filesystem::path programFolder_;
    std::vector<HMODULE> modules_;
    int lastSecond_ = -1;
    // What the control last told through its CaptureError event.
    std::optional<std::string> captureError_;
};
