#pragma once
// Starts a push through RelayoRtmp.so, loading the module from the helper's folder on first use
// and keeping it for the life of the process.
#include <filesystem>
#include <memory>
#include <string>

#include "components/relayo/RtmpPush.h"

namespace relayo {

// An rtmp:// address (the scheme in any case) with something after it.
bool IsRtmpAddress(const std::string& address);

// Null with `*error` set when the module or its entry point cannot be loaded.
std::unique_ptr<RtmpPush> StartRtmpPushFromModule(const std::filesystem::path& file, const std::string& url,
                                                  RtmpFailureHandler onFailure, std::string* error);

}  // namespace relayo
