#include "components/mmsh/MmshAnswer.h"

MmshAnswer ChooseMmshAnswer(MmshParseState parsed, const MmshRequest& request, const MmshServingState& state) {
    switch (parsed) {
    case MmshParseState::NeedMore:
    case MmshParseState::Malformed:
        return MmshAnswer::BadRequest;
    case MmshParseState::TooLarge:
        return MmshAnswer::TooLarge;
    case MmshParseState::NotSupported:
        return MmshAnswer::NotImplemented;
    case MmshParseState::Complete:
        break;
    }
    if (request.kind == MmshRequestKind::Log) return MmshAnswer::Logged;
    if (!state.headerReady || state.sourceEnded || state.players >= state.maxClients) return MmshAnswer::Unavailable;
    // An MP3 stream is the same to every client: a media player's Describe or Play gets the
    // audio too (it would find no ASF header in it and say so).
    if (state.mode == MmshSourceMode::Mp3Files) return MmshAnswer::Mp3Stream;
    switch (request.kind) {
    case MmshRequestKind::Describe:
        return MmshAnswer::Header;
    case MmshRequestKind::Play:
        return MmshAnswer::FramedStream;
    case MmshRequestKind::Download:
    case MmshRequestKind::Log:
        break;
    }
    return MmshAnswer::AsfDownload;
}

bool IsPlayerAnswer(MmshAnswer answer) {
    return answer == MmshAnswer::FramedStream || answer == MmshAnswer::AsfDownload || answer == MmshAnswer::Mp3Stream;
}
