#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "imaging/jpeg/COutBitStream.h"
#include "imaging/jpeg/JpegExceptions.h"

namespace {
std::vector<uint8_t> BytesOf(const COutBitStream& s) {
    return {s.Bytes().begin(), s.Bytes().end()};
}
}  // namespace

TEST(COutBitStream, PacksBitsMostSignificantFirstAcrossBytes) {
    COutBitStream s(64);
    s.SetBits(0b101, 3);
    s.SetBits(0b11001, 5);          // completes 10111001
    s.SetBits(0x3FF, 10);           // more than 8 bits: upper 2, then the low 8
    s.SetBits(0, 0);                // nothing
    s.SetBits(0xFFFFFFF0u, 4);      // only the low 4 bits count: 0000
    EXPECT_EQ(s.BitPosition(), 1);  // 2 + 4 bits into the third byte
    s.Fill();
    EXPECT_EQ(BytesOf(s), (std::vector<uint8_t>{0xB9, 0xFF, 0x00, 0xC3}));
    EXPECT_EQ(s.BitPosition(), 7);
}

TEST(COutBitStream, StuffsEveryCodedFFButNoMarkerByte) {
    COutBitStream s(64);
    for (int i = 0; i < 6; ++i) s.SetBits(0xFF, 8);  // through the four-byte path and the tail
    s.SetBits(0xF, 4);
    s.SetByte(0xFF);  // the partial byte fills to 0xFF and is stuffed; the marker byte is not
    s.SetByte(0xD9);
    std::vector<uint8_t> expected;
    for (int i = 0; i < 7; ++i) expected.insert(expected.end(), {0xFF, 0x00});
    expected.insert(expected.end(), {0xFF, 0xD9});
    EXPECT_EQ(BytesOf(s), expected);
}

TEST(COutBitStream, ByteAlignedWritesFillWithOnesFirst) {
    COutBitStream s(64);
    s.SetBits(0b0, 1);
    s.SetWord(0x1234);
    s.SetBits(0b10, 2);
    const uint8_t data[3] = {0xFF, 0x00, 0x7F};
    s.CopyByte(data, 3);
    s.SetBits(0, 8);
    s.SetByte(0xAB);
    EXPECT_EQ(BytesOf(s),
              (std::vector<uint8_t>{0x7F, 0x12, 0x34, 0xBF, 0xFF, 0x00, 0x7F, 0x00, 0xAB}));
}

TEST(COutBitStream, CodedBitsMatchABitByBitModel) {
    // Random runs of up to 32 bits, many of them all ones so that 0xFF bytes appear at every
    // position of the four-byte path, against a model that stuffs byte by byte.
    COutBitStream s(8192);
    std::vector<uint8_t> expected;
    uint8_t current = 0;
    int filled = 0;
    auto modelBit = [&](int bit) {
        current = static_cast<uint8_t>(current << 1 | bit);
        if (++filled == 8) {
            expected.push_back(current);
            if (current == 0xFF) expected.push_back(0x00);
            current = 0;
            filled = 0;
        }
    };
    uint32_t state = 12345;
    for (int i = 0; i < 2000; ++i) {
        state = state * 1103515245u + 12345u;
        int n = 1 + static_cast<int>(state >> 27);  // 1..32
        uint32_t mask = n == 32 ? ~0u : (1u << n) - 1;
        uint32_t value = (i % 3 == 0) ? mask : (state * 2654435761u) & mask;
        s.PutBits(value, n);
        for (int b = n - 1; b >= 0; --b) modelBit((value >> b) & 1);
    }
    while (filled != 0) modelBit(1);  // the fill before the marker
    expected.push_back(0xD9);
    s.SetByte(0xD9);
    EXPECT_EQ(BytesOf(s), expected);
    EXPECT_GT(std::count(expected.begin(), expected.end(), 0xFF), 100);
}

TEST(COutBitStream, RefusesWhatDoesNotFitAndSizesOutOfRange) {
    EXPECT_THROW(COutBitStream(0), EMemoryError);
    try {
        COutBitStream s(-5);
        FAIL() << "created";
    } catch (const EMemoryError& e) {
        EXPECT_EQ(e.Where(), "COutBitStream");
        EXPECT_EQ(e.Requested(), -5);
    }

    COutBitStream s(4);
    try {
        s.SetBits(1, 17);
        FAIL() << "17 bits accepted";
    } catch (const EBufferError& e) {
        EXPECT_EQ(e.Message(), "SetBits:Max Bit Over");
    }
    const uint8_t three[3] = {1, 2, 3};
    try {
        s.CopyByte(three, 4);  // position + length reaching the end fails, even exactly
        FAIL() << "copied";
    } catch (const EBufferError& e) {
        EXPECT_EQ(e.Message(), "CopyByte");
    }
    s.CopyByte(three, 3);
    EXPECT_TRUE(s.IsOk());
    try {
        s.SetWord(0x0102);
        FAIL() << "word past the end";
    } catch (const EBufferError& e) {
        EXPECT_EQ(e.Message(), "SetWord");
    }
    s.SetByte(9);
    EXPECT_FALSE(s.IsOk());  // the position reached the end
    try {
        s.SetByte(10);
        FAIL() << "byte past the end";
    } catch (const EBufferError& e) {
        EXPECT_EQ(e.Message(), "SetByte");
    }
    EXPECT_EQ(BytesOf(s), (std::vector<uint8_t>{1, 2, 3, 9}));
}

TEST(COutBitStream, CodedBitsPastTheEndFailLikeABytePastTheEnd) {
    COutBitStream s(10);
    try {
        for (int i = 0; i < 40; ++i) s.PutBits(0xABCD, 16);
        s.Fill();
        FAIL() << "80 bytes went into 10";
    } catch (const EBufferError& e) {
        EXPECT_EQ(e.Message(), "SetByte");
    }
    EXPECT_EQ(s.Size(), 10u);
}
