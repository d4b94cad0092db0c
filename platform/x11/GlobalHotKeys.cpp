#include "platform/x11/GlobalHotKeys.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/x11/X11HotKeys.h"

namespace {

// Where there is no X display: every registration fails and Reason() says why.
class NoHotKeys final : public GlobalHotKeys {
public:
    explicit NoHotKeys(std::string reason) : reason_(std::move(reason)) {}
    bool Available() const override { return false; }
    std::string Reason() const override { return reason_; }
    BOOL RegisterHotKey(int, UINT, UINT) override { return FALSE; }
    BOOL UnregisterHotKey(int) override { return FALSE; }
    void SetHandler(Handler) override {}

private:
    std::string reason_;
};

std::string Variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::unique_ptr<GlobalHotKeys> GlobalHotKeys::CreateForEnvironment() {
    const std::string display = Variable("DISPLAY");
    if (display.empty()) {
        return std::make_unique<NoHotKeys>(
            Variable("WAYLAND_DISPLAY").empty()
                ? "there is no X display (DISPLAY is not set)"
                : "this is a Wayland session without X11 (DISPLAY is not set)");
    }
    return std::make_unique<X11HotKeys>(display);
}

GlobalHotKeys& GlobalHotKeys::Instance() {
    static std::unique_ptr<GlobalHotKeys> instance = [] {
        std::unique_ptr<GlobalHotKeys> created = CreateForEnvironment();
        if (!created->Available()) {
            std::fprintf(stderr, "orvanta: global hot keys are off: %s\n",
                         created->Reason().c_str());
        }
        return created;
    }();
    return *instance;
}
