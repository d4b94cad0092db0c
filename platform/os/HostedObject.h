#pragma once
// Lifetime rule of the objects behind message windows (window cores, incoming connections).
// Their callbacks run user code (window procedures) that may destroy the very window or
// connection whose Qt notifier or timer is on the stack. So the host never deletes such an object
// directly: it retires it, and deletes it only once no callback of it is running.
// UI thread only.
#include <functional>

class HostedObject {
public:
    HostedObject() = default;
    HostedObject(const HostedObject&) = delete;
    HostedObject& operator=(const HostedObject&) = delete;
    virtual ~HostedObject() = default;

    bool InUse() const { return depth_ > 0; }
    bool Retired() const { return retired_; }
    // Called by the host when it takes the object out of service; `onIdle` runs when the last
    // callback running at that moment returns (so the host can collect it).
    void Retire(std::function<void()> onIdle) {
        retired_ = true;
        onIdle_ = std::move(onIdle);
    }

    // Marks a callback of this object as running for its scope.
    class Use {
    public:
        explicit Use(HostedObject& object) : object_(object) { ++object_.depth_; }
        ~Use() {
            if (--object_.depth_ == 0 && object_.retired_ && object_.onIdle_) object_.onIdle_();
        }
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;

    private:
        HostedObject& object_;
    };

private:
    int depth_ = 0;
    bool retired_ = false;
    std::function<void()> onIdle_;
};
