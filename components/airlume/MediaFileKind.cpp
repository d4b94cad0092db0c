#include "components/airlume/MediaFileKind.h"

#include <array>
#include <fstream>

#include "components/mmsh/AsfBytes.h"
#include "components/mmsh/AsfFileFollower.h"
#include "components/mmsh/Mp3FileSource.h"

MediaFileCheck CheckMediaFile(const std::filesystem::path& file) {
    MediaFileCheck check;
    std::error_code error;
    if (file.empty() || !std::filesystem::is_regular_file(file, error)) {
        check.error = "no such file: " + file.string();
        return check;
    }
    std::array<uint8_t, 16> first{};
    std::ifstream in(file, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(first.data()), first.size())) in.clear();
    if (AsfGuidAt(first, 0, asf_guid::kHeader)) {
        // The header must parse: the server paces by what it says.
        AsfFileFollower follower(file);
        AsfFileFollower::State state = follower.Poll();
        if (state == AsfFileFollower::State::Failed) {
            check.error = "the ASF file cannot be served: " + follower.Error();
        } else if (state == AsfFileFollower::State::WaitingForHeader) {
            check.error = "the ASF file is cut short inside its header";
        } else {
            check.kind = MediaFileKind::Asf;
        }
        return check;
    }
    if (Mp3FileSource::Probe(file)) {
        check.kind = MediaFileKind::Mp3;
        return check;
    }
    check.error = "not an ASF or MP3 file: " + file.string();
    return check;
}
