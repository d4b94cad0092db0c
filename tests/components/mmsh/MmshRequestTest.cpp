// The request parser on what real players send, byte for byte, and on what they must not.
#include "components/mmsh/MmshRequest.h"

#include <gtest/gtest.h>

namespace {

const char kFfmpegDescribe[] =
    "GET /live HTTP/1.1\r\nRange: bytes=0-\r\nIcy-MetaData: 1\r\nAccept: */*\r\n"
    "User-Agent: NSPlayer/4.1.0.3856\r\nHost: 127.0.0.1:18080\r\n"
    "Pragma: no-cache,rate=1.000000,stream-time=0,stream-offset=0:0,request-context=1,max-duration=0\r\n"
    "Pragma: xClientGUID={c77e7400-738a-11d2-9add-0020af0a3278}\r\nConnection: Close\r\n\r\n";

const char kFfmpegPlay[] =
    "GET /live HTTP/1.1\r\nRange: bytes=0-\r\nConnection: close\r\nIcy-MetaData: 1\r\nAccept: */*\r\n"
    "User-Agent: NSPlayer/4.1.0.3856\r\nHost: 127.0.0.1:18080\r\n"
    "Pragma: no-cache,rate=1.000000,request-context=2\r\nPragma: xPlayStrm=1\r\n"
    "Pragma: xClientGUID={c77e7400-738a-11d2-9add-0020af0a3278}\r\nPragma: stream-switch-count=2\r\n"
    "Pragma: stream-switch-entry=ffff:1:0 ffff:2:0 \r\n"
    "Pragma: no-cache,rate=1.000000,stream-time=0Connection: Close\r\n\r\n";

const char kVlcPlay[] =
    "GET /live HTTP/1.0\r\nHost: 127.0.0.1:18083\r\nAccept: */*\r\nUser-Agent: NSPlayer/7.10.0.3059\r\n"
    "Pragma: no-cache,rate=1.000000,request-context=2\r\nPragma: xPlayStrm=1\r\n"
    "Pragma: xClientGUID={0xbabac001-0x3535-0xa2e7-0x379d7b3ef07f023e}\r\n"
    "Pragma: stream-switch-count=2\r\nPragma: stream-switch-entry=ffff:1:0 ffff:2:0 \r\nConnection: Close\r\n\r\n";

MmshParseState FeedAll(MmshRequestParser& parser, std::string_view text) {
    return parser.Feed(std::span<const char>(text.data(), text.size()));
}

}  // namespace

TEST(MmshRequestTest, RequestsOfRealPlayers) {
    MmshRequestParser describe;
    ASSERT_EQ(FeedAll(describe, kFfmpegDescribe), MmshParseState::Complete);
    EXPECT_EQ(describe.Request().kind, MmshRequestKind::Describe);
    EXPECT_EQ(describe.Request().target, "/live");
    EXPECT_EQ(describe.Request().userAgent, "NSPlayer/4.1.0.3856");
    EXPECT_EQ(describe.Request().clientGuid, "{c77e7400-738a-11d2-9add-0020af0a3278}");

    MmshRequestParser play;
    ASSERT_EQ(FeedAll(play, kFfmpegPlay), MmshParseState::Complete);
    EXPECT_EQ(play.Request().kind, MmshRequestKind::Play);

    MmshRequestParser vlc;
    ASSERT_EQ(FeedAll(vlc, kVlcPlay), MmshParseState::Complete);
    EXPECT_EQ(vlc.Request().kind, MmshRequestKind::Play);
    EXPECT_EQ(vlc.Request().clientGuid, "{0xbabac001-0x3535-0xa2e7-0x379d7b3ef07f023e}");
}

TEST(MmshRequestTest, ArrivesInPieces) {
    std::string_view text = kFfmpegPlay;
    MmshRequestParser parser;
    for (size_t i = 0; i + 1 < text.size(); ++i)
        ASSERT_EQ(FeedAll(parser, text.substr(i, 1)), MmshParseState::NeedMore) << i;
    EXPECT_EQ(FeedAll(parser, text.substr(text.size() - 1)), MmshParseState::Complete);
    EXPECT_EQ(parser.Request().kind, MmshRequestKind::Play);
    // Bytes after the request do not change it.
    EXPECT_EQ(FeedAll(parser, "GET / HTTP/1.0\r\n\r\n"), MmshParseState::Complete);
    EXPECT_EQ(parser.Request().kind, MmshRequestKind::Play);
}

TEST(MmshRequestTest, KindsFromMethodAgentAndPragma) {
    MmshRequest r;
    EXPECT_EQ(MmshRequestParser::Parse("GET / HTTP/1.0\nUser-Agent: NSPlayer/9\npragma: XPLAYSTRM=1", r),
              MmshParseState::Complete);
    EXPECT_EQ(r.kind, MmshRequestKind::Play) << "names and tokens are case-insensitive, LF line ends";
    EXPECT_EQ(MmshRequestParser::Parse("GET / HTTP/1.0\r\nUser-Agent: NSPlayer/9\r\nPragma: xPlayStrm=0", r),
              MmshParseState::Complete);
    EXPECT_EQ(r.kind, MmshRequestKind::Describe);
    EXPECT_EQ(MmshRequestParser::Parse("GET / HTTP/1.0\r\nPragma: xClientGUID={x}", r), MmshParseState::Complete);
    EXPECT_EQ(r.kind, MmshRequestKind::Describe) << "a client GUID marks a media player";
    EXPECT_EQ(MmshRequestParser::Parse("GET /x.asf HTTP/1.1\r\nUser-Agent: Lavf/59\r\nHost: h", r),
              MmshParseState::Complete);
    EXPECT_EQ(r.kind, MmshRequestKind::Download);
    EXPECT_EQ(MmshRequestParser::Parse("POST / HTTP/1.0\r\nContent-Type: application/x-wms-LogStats", r),
              MmshParseState::Complete);
    EXPECT_EQ(r.kind, MmshRequestKind::Log);
    EXPECT_EQ(MmshRequestParser::Parse("HEAD / HTTP/1.0", r), MmshParseState::NotSupported);
}

TEST(MmshRequestTest, MalformedRequests) {
    MmshRequest r;
    for (const char* text : {"", "\r\n", "GET /", "GET / FTP/1.0", "GET  HTTP/1.0", "G\x01T / HTTP/1.0",
                             "GET / HTTP/1.0\r\nno colon", "GET / HTTP/1.0\r\n: empty name",
                             "GET / HTTP/1.0\r\nBad Name: x", "GET / x HTTP/1.0"})
        EXPECT_EQ(MmshRequestParser::Parse(text, r), MmshParseState::Malformed) << text;
    MmshRequestParser parser;
    EXPECT_EQ(FeedAll(parser, std::string_view("\x16\x03\x01\x00\x10\r\n\r\n", 9)), MmshParseState::Malformed);
}

TEST(MmshRequestTest, OversizedHeadersAreRefusedAndNotBuffered) {
    MmshRequestParser whole;
    std::string big = "GET / HTTP/1.0\r\nX: " + std::string(MmshRequestParser::kMaxRequestBytes, 'a') + "\r\n\r\n";
    EXPECT_EQ(FeedAll(whole, big), MmshParseState::TooLarge);

    MmshRequestParser trickle;
    std::string line = "X-Header: " + std::string(100, 'b') + "\r\n";
    MmshParseState state = FeedAll(trickle, "GET / HTTP/1.0\r\n");
    for (int i = 0; i < 1000 && state == MmshParseState::NeedMore; ++i) state = FeedAll(trickle, line);
    EXPECT_EQ(state, MmshParseState::TooLarge);
    EXPECT_EQ(FeedAll(trickle, "\r\n\r\n"), MmshParseState::TooLarge) << "the verdict stays";

    // Just under the limit is fine.
    MmshRequestParser fits;
    std::string head = "GET / HTTP/1.0\r\nX: ";
    std::string near = head + std::string(MmshRequestParser::kMaxRequestBytes - head.size() - 4, 'c') + "\r\n\r\n";
    ASSERT_EQ(near.size(), MmshRequestParser::kMaxRequestBytes);
    EXPECT_EQ(FeedAll(fits, near), MmshParseState::Complete);
}
