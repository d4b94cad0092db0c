#pragma once
// What the helper and its RTMP module (RelayoRtmp.so, beside the helper) agree on. Pushing to a
// streaming server is the only part of the helper that needs the codec libraries; keeping it in
// a module that is loaded for the first rtmp:// address spares every other broadcast their tens
// of megabytes of pages.
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace relayo {

// A running push; destroying it stops and joins its thread.
class RtmpPush {
public:
    virtual ~RtmpPush() = default;
};

// Hears, on the push's thread, the reason of the first failure of a run of failed connections and
// of the last one, after which the address is given up.
using RtmpFailureHandler = std::function<void(const std::string& reason)>;

inline constexpr const char* kRtmpModuleFile = "RelayoRtmp.so";
inline constexpr const char* kStartRtmpPushEntry = "StartRtmpPush";

// The module's entry point: starts pushing the growing ASF `file` to `url` into `*push`.
using StartRtmpPushFn = void (*)(const std::filesystem::path& file, const std::string& url,
                                 RtmpFailureHandler onFailure, std::unique_ptr<RtmpPush>* push);

}  // namespace relayo
