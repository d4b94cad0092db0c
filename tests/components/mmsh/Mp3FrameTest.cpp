// The MP3 frame reader on hand-built streams (every kind of item, cut and false frames) and the
// file source on a file the ffmpeg CLI encoded, with its tags and its VBR information frame.
#include "components/mmsh/Mp3Frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/mmsh/Mp3FileSource.h"
#include "tests/components/mmsh/MmshTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace {

using Bytes = std::vector<uint8_t>;

// MPEG-1 layer 3, 128 kbit/s, 44100 Hz, joint stereo: 417 bytes (418 padded).
Bytes Frame(bool padded = false, uint8_t fill = 0x11) {
    Bytes f(padded ? 418 : 417, fill);
    f[0] = 0xFF;
    f[1] = 0xFB;
    f[2] = padded ? 0x92 : 0x90;
    f[3] = 0x64;
    return f;
}

Bytes InfoFrame(const char* tag) {
    Bytes f = Frame();
    std::copy(tag, tag + 4, f.begin() + 4 + 32);  // after the stereo side information
    return f;
}

Bytes Id3v2(uint32_t size) {
    Bytes t = {'I', 'D', '3', 4, 0, 0};
    for (int shift : {21, 14, 7, 0}) t.push_back(static_cast<uint8_t>((size >> shift) & 0x7F));
    t.resize(10 + size, 0);
    return t;
}

Bytes Id3v1() {
    Bytes t(128, ' ');
    t[0] = 'T', t[1] = 'A', t[2] = 'G';
    return t;
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Read {
    Mp3ItemKind kind;
    size_t length;
};

std::vector<Read> ReadAll(const Bytes& bytes) {
    std::vector<Read> items;
    std::span<const uint8_t> rest(bytes);
    while (!rest.empty()) {
        Mp3Item item = ReadMp3Item(rest, true);
        EXPECT_NE(item.kind, Mp3ItemKind::NeedMore);
        EXPECT_GT(item.length, 0u);
        if (item.kind == Mp3ItemKind::NeedMore || item.length == 0) break;
        items.push_back({item.kind, item.length});
        rest = rest.subspan(std::min(item.length, rest.size()));
    }
    return items;
}

}  // namespace

TEST(Mp3FrameHeader, LengthsAndSampleCountsFollowVersionLayerRateAndPadding) {
    struct Case {
        Bytes header;
        size_t length;
        uint32_t samples;
        int sampleRate;
    } cases[] = {
        {{0xFF, 0xFB, 0x90, 0x64}, 417, 1152, 44100},  // MPEG-1 layer 3, 128 kbit/s
        {{0xFF, 0xFB, 0x92, 0x64}, 418, 1152, 44100},  // padded
        {{0xFF, 0xFB, 0xE4, 0xC4}, 960, 1152, 48000},  // 320 kbit/s, 48 kHz, mono
        {{0xFF, 0xF3, 0x80, 0x64}, 208, 576, 22050},   // MPEG-2 layer 3, 64 kbit/s
        {{0xFF, 0xE3, 0x88, 0x64}, 576, 576, 8000},    // MPEG-2.5 layer 3, 64 kbit/s
        {{0xFF, 0xFD, 0xA0, 0x64}, 626, 1152, 44100},  // MPEG-1 layer 2, 192 kbit/s
        {{0xFF, 0xFF, 0x90, 0x64}, 312, 384, 44100},   // MPEG-1 layer 1, 288 kbit/s: 78 slots of 4 bytes
    };
    for (const Case& c : cases) {
        std::optional<Mp3FrameHeader> h = ParseMp3FrameHeader(c.header);
        ASSERT_TRUE(h) << int(c.header[1]) << " " << int(c.header[2]);
        EXPECT_EQ(h->length, c.length) << int(c.header[2]);
        EXPECT_EQ(h->samples, c.samples);
        EXPECT_EQ(h->sampleRate, c.sampleRate);
    }
    const Bytes refused[] = {
        {0xFF, 0xFB, 0x00, 0x64},  // free bit rate: no length to trust
        {0xFF, 0xFB, 0xF0, 0x64},  // bit rate index 15
        {0xFF, 0xFB, 0x9C, 0x64},  // reserved sample rate
        {0xFF, 0xEB, 0x90, 0x64},  // reserved version
        {0xFF, 0xF9, 0x90, 0x64},  // reserved layer
        {0xFF, 0xFB, 0x90, 0x66},  // reserved emphasis
        {0xFF, 0x7B, 0x90, 0x64},  // no sync
        {0xFF, 0xFB, 0x90},        // too short
    };
    for (const Bytes& r : refused) EXPECT_FALSE(ParseMp3FrameHeader(r)) << int(r[1]) << " " << int(r[2]);
}

TEST(Mp3Reader, TellsFramesFromTagsInfoFramesAndJunk) {
    Bytes stream = Join({Id3v2(300), Bytes{1, 2, 3, 0xFF, 0xFB}, InfoFrame("Info"), Frame(), Frame(true), Frame(),
                         Frame(), Id3v1()});
    std::vector<Read> items = ReadAll(stream);
    ASSERT_EQ(items.size(), 8u);
    EXPECT_EQ(items[0].kind, Mp3ItemKind::Tag);
    EXPECT_EQ(items[0].length, 310u);
    // Five bytes of junk, the last two a sync whose header is impossible.
    EXPECT_EQ(items[1].kind, Mp3ItemKind::Junk);
    EXPECT_EQ(items[1].length, 5u);
    EXPECT_EQ(items[2].kind, Mp3ItemKind::InfoFrame);
    EXPECT_EQ(items[3].kind, Mp3ItemKind::Frame);
    EXPECT_EQ(items[4].kind, Mp3ItemKind::Frame);
    EXPECT_EQ(items[4].length, 418u);
    EXPECT_EQ(items[5].kind, Mp3ItemKind::Frame);
    EXPECT_EQ(items[6].kind, Mp3ItemKind::Frame);
    EXPECT_EQ(items[7].kind, Mp3ItemKind::Tag);
    EXPECT_EQ(items[7].length, 128u);

    for (const char* tag : {"Xing", "VBRI"}) {
        Mp3Item item = ReadMp3Item(Join({InfoFrame(tag), Frame()}), true);
        EXPECT_EQ(item.kind, Mp3ItemKind::InfoFrame) << tag;
    }
}

TEST(Mp3Reader, ChecksEveryLengthAgainstTheBytesThereAre) {
    Bytes two = Join({Frame(), Frame()});
    // Inside the file a cut frame needs more bytes; at its end it is junk, never sent.
    Bytes cut(two.begin(), two.end() - 100);
    EXPECT_EQ(ReadMp3Item(Bytes(cut.begin() + 417, cut.end()), false).kind, Mp3ItemKind::NeedMore);
    Mp3Item last = ReadMp3Item(Bytes(cut.begin() + 417, cut.end()), true);
    EXPECT_EQ(last.kind, Mp3ItemKind::Junk);
    EXPECT_EQ(last.length, 317u);
    // A frame is only taken once the next header (or the end) confirms it.
    EXPECT_EQ(ReadMp3Item(Bytes(two.begin(), two.begin() + 418), false).kind, Mp3ItemKind::NeedMore);
    EXPECT_EQ(ReadMp3Item(Bytes(two.begin(), two.begin() + 417), true).kind, Mp3ItemKind::Frame);

    // A tag whose size digits use the eighth bit is no tag; one longer than the file says so
    // (the reader skips it without reading it).
    Bytes badTag = Id3v2(20);
    badTag[7] = 0x80;
    EXPECT_EQ(ReadMp3Item(Join({badTag, Frame()}), true).kind, Mp3ItemKind::Junk);
    Bytes hugeTag = Id3v2(5000000);
    Mp3Item huge = ReadMp3Item(Bytes(hugeTag.begin(), hugeTag.begin() + 10), false);
    EXPECT_EQ(huge.kind, Mp3ItemKind::Tag);
    EXPECT_EQ(huge.length, 5000010u);
    EXPECT_EQ(ReadMp3Item(Bytes{'I', 'D', '3', 4}, false).kind, Mp3ItemKind::NeedMore);

    // Junk with no frame at all ends at the end of the bytes.
    Bytes noise(3000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7);
    std::vector<Read> items = ReadAll(noise);
    size_t total = 0;
    for (const Read& r : items) {
        EXPECT_EQ(r.kind, Mp3ItemKind::Junk);
        total += r.length;
    }
    EXPECT_EQ(total, noise.size());
}

TEST(Mp3FileSource, HandsOutExactlyTheAudioFramesOfAnEncodedFile) {
    std::filesystem::path file = testing_support::TestEnvironment::Current().Dir() / "tone.mp3";
    ASSERT_TRUE(mmsh_test::MakeMp3(file, 3, true));
    std::string bytes = testing_support::ReadFile(file);
    ASSERT_TRUE(bytes.starts_with("ID3"));
    ASSERT_EQ(bytes.substr(bytes.size() - 128, 3), "TAG");
    size_t id3 = 10;
    for (int i = 6; i < 10; ++i) id3 += static_cast<size_t>(bytes[i] & 0x7F) << (7 * (9 - i));
    auto info = ParseMp3FrameHeader(std::span(reinterpret_cast<const uint8_t*>(bytes.data()) + id3, 4));
    ASSERT_TRUE(info);
    std::string infoFrame = bytes.substr(id3, info->length);
    ASSERT_TRUE(infoFrame.find("Info") != std::string::npos || infoFrame.find("Xing") != std::string::npos);
    std::string audio = bytes.substr(id3 + info->length, bytes.size() - 128 - id3 - info->length);

    ASSERT_TRUE(Mp3FileSource::Probe(file));
    Mp3FileSource source(file, 5000000);
    ASSERT_TRUE(source.Open()) << source.Error();
    std::string out;
    int64_t expectedStart = 5000000;
    while (std::optional<Mp3Packet> p = source.Next()) {
        ASSERT_EQ(p->startUs, expectedStart);
        EXPECT_EQ(p->durationUs, 26122u);  // 1152 samples at 44100 Hz
        expectedStart += p->durationUs;
        out.append(p->bytes.begin(), p->bytes.end());
    }
    EXPECT_TRUE(source.Exhausted());
    EXPECT_EQ(out.size(), audio.size());
    EXPECT_TRUE(out == audio) << "the frames differ from the file's audio";
    EXPECT_EQ(source.PositionUs(), expectedStart);
    // Three seconds of audio (the encoder's delay and padding add up to two frames).
    EXPECT_NEAR(static_cast<double>(source.PositionUs() - 5000000) / 1e6, 3.0, 0.1);

    std::filesystem::path text = file.parent_path() / "notes.mp3";
    {
        std::FILE* f = std::fopen(text.c_str(), "w");
        ASSERT_TRUE(f);
        for (int i = 0; i < 2000; ++i) std::fputs("not audio at all ", f);
        std::fclose(f);
    }
    EXPECT_FALSE(Mp3FileSource::Probe(text));
    EXPECT_FALSE(Mp3FileSource::Probe(file.parent_path() / "missing.mp3"));
}
