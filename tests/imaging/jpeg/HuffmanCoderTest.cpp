#include <gtest/gtest.h>

#include <array>
#include <random>
#include <vector>

#include "imaging/jpeg/COutBitStream.h"
#include "imaging/jpeg/HuffmanCoder.h"
#include "imaging/jpeg/JpegExceptions.h"
#include "imaging/jpeg/JpegTables.h"
#include "tests/imaging/jpeg/JpegTestSupport.h"

namespace {

using Codes = std::map<int, std::pair<uint32_t, int>>;

std::string BitsOf(const COutBitStream& s, size_t bitCount) {
    std::string bits;
    for (uint8_t b : s.Bytes()) {
        for (int i = 7; i >= 0; --i) bits += ((b >> i) & 1) ? '1' : '0';
    }
    return bits.substr(0, bitCount);
}

struct Coded {
    std::vector<uint8_t> bytes;
    int predictor;
};

Coded Code(const std::array<int, 64>& zz, int table, int predictor = 0) {
    COutBitStream s(4096);
    CodeBlock(zz.data(), predictor, jpeg_tables::Huffman(table), s);
    s.Fill();
    return {{s.Bytes().begin(), s.Bytes().end()}, predictor};
}

}  // namespace

TEST(HuffmanTables, AreTheExampleTablesInTheirSegments) {
    const int sizes[4] = {33, 33, 183, 183};
    const uint8_t ids[4] = {0x00, 0x01, 0x10, 0x11};
    const std::array<uint8_t, 16> bits[4] = {{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0},
                                             {0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0},
                                             {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
                                             {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77}};
    for (int i = 0; i < 4; ++i) {
        std::span<const uint8_t> dht = jpeg_tables::DhtSegment(i);
        ASSERT_EQ(static_cast<int>(dht.size()), sizes[i]);
        EXPECT_EQ(dht[0], 0xFF);
        EXPECT_EQ(dht[1], 0xC4);
        EXPECT_EQ((dht[2] << 8 | dht[3]) + 2, sizes[i]);
        EXPECT_EQ(dht[4], ids[i]);
        EXPECT_TRUE(std::equal(bits[i].begin(), bits[i].end(), dht.begin() + 5)) << i;
    }
    // A few codes of the example tables, as printed with them.
    const auto& luma = jpeg_tables::Huffman(0);
    const auto& chroma = jpeg_tables::Huffman(1);
    EXPECT_EQ(luma.dc.code[0], 0b00);
    EXPECT_EQ(luma.dc.length[0], 2);
    EXPECT_EQ(luma.dc.code[11], 0b111111110);
    EXPECT_EQ(luma.dc.length[11], 9);
    EXPECT_EQ(chroma.dc.code[11], 0b11111111110);
    EXPECT_EQ(luma.ac.code[jpeg_tables::kAcEob], 0b1010);
    EXPECT_EQ(luma.ac.length[jpeg_tables::kAcZrl], 11);
    EXPECT_EQ(luma.ac.code[jpeg_tables::kAcZrl], 0b11111111001);
    EXPECT_EQ(luma.ac.code[1], 0b00);    // run 0 size 1
    EXPECT_EQ(luma.ac.length[161], 16);  // run 15 size 10
    EXPECT_EQ(luma.ac.code[161], 0xFFFE);
    EXPECT_EQ(chroma.ac.code[jpeg_tables::kAcEob], 0b00);
    EXPECT_EQ(chroma.ac.code[jpeg_tables::kAcZrl], 0b1111111010);
    EXPECT_EQ(chroma.ac.length[jpeg_tables::kAcZrl], 10);
    // The code arrays agree with the segments symbol by symbol.
    for (int table = 0; table < 2; ++table) {
        Codes dc = jpeg_test::CodesOfSegment(jpeg_tables::DhtSegment(table));
        Codes ac = jpeg_test::CodesOfSegment(jpeg_tables::DhtSegment(2 + table));
        const auto& set = jpeg_tables::Huffman(table);
        for (int s = 0; s < 12; ++s)
            EXPECT_EQ(dc.at(s), std::make_pair(uint32_t{set.dc.code[s]}, int{set.dc.length[s]}));
        for (const auto& [symbol, code] : ac) {
            int run = symbol >> 4, size = symbol & 15;
            int index = symbol == 0      ? 0
                        : symbol == 0xF0 ? 151
                        : run < 15       ? 10 * run + size
                                         : 151 + size;
            EXPECT_EQ(code, std::make_pair(uint32_t{set.ac.code[index]}, int{set.ac.length[index]}))
                << symbol;
        }
    }
}

TEST(HuffmanCoder, CodesDcDifferencesAgainstThePredictor) {
    std::array<int, 64> zz{};
    zz[0] = -3;  // diff -3: category 2, code 011, bits of -4: 00; then EOB 1010
    COutBitStream s(64);
    int predictor = 0;
    CodeBlock(zz.data(), predictor, jpeg_tables::Huffman(0), s);
    zz[0] = 5;  // diff 8: category 4, code 101, bits 1000; then EOB
    CodeBlock(zz.data(), predictor, jpeg_tables::Huffman(0), s);
    EXPECT_EQ(predictor, 5);
    s.Fill();
    EXPECT_EQ(BitsOf(s, 24),
              "011001010"
              "1011000"
              "1010"
              "1111");
}

TEST(HuffmanCoder, RunsZrlAndEob) {
    // Luminance: run 20 before a 1 is ZRL then run 4 size 1 (111011), then -1 at 63 after 41
    // zeros: ZRL, ZRL, run 9 size 1 (111111001) and no EOB, since position 63 is non-zero; the
    // last byte is completed with 1-bits.
    std::array<int, 64> zz{};
    zz[21] = 1;
    zz[63] = -1;
    COutBitStream s(64);
    int predictor = 0;
    CodeBlock(zz.data(), predictor, jpeg_tables::Huffman(0), s);
    s.Fill();
    EXPECT_EQ(BitsOf(s, 2 + 11 + 6 + 1 + 11 + 11 + 9 + 1 + 4),
              "00"
              "11111111001"
              "111011"
              "1"
              "11111111001"
              "11111111001"
              "111111001"
              "0"
              "1111");
    // A run of exactly 15 before a value uses the run-15 symbols (index 10 * 15 + size + 1).
    std::array<int, 64> fifteen{};
    fifteen[16] = 2;
    COutBitStream t(64);
    predictor = 0;
    CodeBlock(fifteen.data(), predictor, jpeg_tables::Huffman(1), t);
    t.Fill();
    const auto& chroma = jpeg_tables::Huffman(1);
    std::string expected = "00";
    for (int i = chroma.ac.length[152 + 1] - 1; i >= 0; --i)
        expected += ((chroma.ac.code[153] >> i) & 1) ? '1' : '0';
    expected +=
        "10"
        "00";  // the value 2, then EOB
    EXPECT_EQ(BitsOf(t, expected.size()), expected);
}

TEST(HuffmanCoder, RandomBlocksDecodeToTheirValues) {
    std::mt19937 rng(99);
    for (int table = 0; table < 2; ++table) {
        Codes dc = jpeg_test::CodesOfSegment(jpeg_tables::DhtSegment(table));
        Codes ac = jpeg_test::CodesOfSegment(jpeg_tables::DhtSegment(2 + table));
        COutBitStream s(1 << 20);
        int predictor = 0;
        std::vector<std::array<int, 64>> blocks(300);
        for (auto& zz : blocks) {
            for (int k = 0; k < 64; ++k) {
                int kind = static_cast<int>(rng() % 10);
                int magnitude = kind < 6   ? 0
                                : kind < 9 ? static_cast<int>(rng() % 8)
                                           : static_cast<int>(rng() % 1024);
                zz[k] = (rng() % 2) ? -magnitude : magnitude;
            }
            zz[0] = static_cast<int>(rng() % 2047) - 1023;
            CodeBlock(zz.data(), predictor, jpeg_tables::Huffman(table), s);
        }
        s.Fill();
        jpeg_test::ScanReader reader(s.Bytes());
        int decoded = 0;
        for (const auto& zz : blocks) {
            bool eob = false;
            ASSERT_EQ(reader.Block(dc, ac, decoded, &eob), zz);
            EXPECT_EQ(eob, zz[63] == 0);
        }
    }
}

TEST(HuffmanCoder, ValuesWithoutACodeAreIndexErrors) {
    std::array<int, 64> zz{};
    zz[0] = 2048;  // category 12: the DC tables stop at 11
    try {
        Code(zz, 0);
        FAIL() << "coded";
    } catch (const EIndexError& e) {
        EXPECT_EQ(e.TableSize(), 12);
        EXPECT_EQ(e.Index(), 12);
        EXPECT_EQ(e.Where(), "CodeHuffman:DC");
    }
    zz[0] = 0;
    zz[5] = -1024;  // size 11 would code as another run's symbol
    try {
        Code(zz, 1);
        FAIL() << "coded";
    } catch (const EIndexError& e) {
        EXPECT_EQ(e.TableSize(), 162);
        EXPECT_EQ(e.Where(), "CodeHuffman:AC");
    }
}
