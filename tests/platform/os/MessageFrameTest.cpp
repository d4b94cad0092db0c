#include "platform/os/MessageFrame.h"

#include <gtest/gtest.h>

namespace {

MessageFrame SampleSend() {
    MessageFrame frame;
    frame.kind = FrameKind::Send;
    frame.sequence = 0x01020304;
    frame.target = 0x7ABCDEF0;
    frame.message = WM_COPYDATA;
    frame.payloadSize = 1524;
    frame.wParam = 0x1122334455667788ull;
    frame.lParam = -65558;
    return frame;
}

std::optional<MessageFrame> Decode(const MessageFrame::Header& bytes) {
    return MessageFrame::Decode(bytes);
}

}  // namespace

TEST(MessageFrame, RoundTripKeepsEveryFieldAndIsLittleEndian) {
    MessageFrame::Header bytes = SampleSend().Encode();
    EXPECT_EQ(bytes[0], 'O');
    EXPECT_EQ(bytes[3], 'M');
    EXPECT_EQ(bytes[8], 0x04);  // sequence, low byte first
    EXPECT_EQ(bytes[20], 1524 & 0xFF);
    EXPECT_EQ(bytes[21], 1524 >> 8);
    auto frame = Decode(bytes);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->kind, FrameKind::Send);
    EXPECT_EQ(frame->sequence, 0x01020304u);
    EXPECT_EQ(frame->target, 0x7ABCDEF0u);
    EXPECT_EQ(frame->message, WM_COPYDATA);
    EXPECT_EQ(frame->payloadSize, 1524u);
    EXPECT_EQ(frame->wParam, 0x1122334455667788ull);
    EXPECT_EQ(frame->lParam, -65558);
}

TEST(MessageFrame, RejectsHeadersThatAreNotOurs) {
    auto corrupt = [](size_t offset, uint8_t value) {
        MessageFrame::Header bytes = SampleSend().Encode();
        bytes[offset] = value;
        return Decode(bytes);
    };
    EXPECT_FALSE(corrupt(0, 'X')) << "magic";
    EXPECT_FALSE(corrupt(4, 2)) << "version";
    EXPECT_FALSE(corrupt(6, 0)) << "kind 0";
    EXPECT_FALSE(corrupt(6, 4)) << "kind 4";
    MessageFrame noTarget = SampleSend();
    noTarget.target = 0;
    EXPECT_FALSE(Decode(noTarget.Encode()));
}

TEST(MessageFrame, PayloadLimitsAndWhoMayCarryOne) {
    MessageFrame frame = SampleSend();
    frame.payloadSize = MessageFrame::kMaxPayload;
    EXPECT_TRUE(Decode(frame.Encode()));
    frame.payloadSize = MessageFrame::kMaxPayload + 1;
    EXPECT_FALSE(Decode(frame.Encode())) << "oversized";
    frame.payloadSize = 0xFFFFFFFF;
    EXPECT_FALSE(Decode(frame.Encode())) << "oversized";

    MessageFrame user = SampleSend();
    user.message = WM_USER;
    EXPECT_FALSE(Decode(user.Encode())) << "only WM_COPYDATA carries bytes";
    user.payloadSize = 0;
    EXPECT_TRUE(Decode(user.Encode()));

    MessageFrame posted = SampleSend();
    posted.kind = FrameKind::Post;
    posted.payloadSize = 0;
    EXPECT_FALSE(Decode(posted.Encode())) << "WM_COPYDATA cannot be posted";

    MessageFrame reply = SampleSend();
    reply.kind = FrameKind::Reply;
    EXPECT_FALSE(Decode(reply.Encode())) << "a reply carries no bytes";
    reply.payloadSize = 0;
    EXPECT_TRUE(Decode(reply.Encode()));
}
