// RelayoRtmp.so: the helper's RTMP pusher and the codec libraries behind it.
extern "C" {
#include <libavutil/log.h>
}

#include "components/relayo/RtmpPush.h"
#include "components/relayo/RtmpPusher.h"
#include "platform/com/Unknown.h"

ORVANTA_EXPORT void StartRtmpPush(const std::filesystem::path& file, const std::string& url,
                                  relayo::RtmpFailureHandler onFailure, std::unique_ptr<relayo::RtmpPush>* push) {
    // Codec chatter would fill the capture program's terminal; real failures still show.
    av_log_set_level(AV_LOG_ERROR);
    *push = std::make_unique<relayo::RtmpPusher>(file, url, std::move(onFailure));
}
