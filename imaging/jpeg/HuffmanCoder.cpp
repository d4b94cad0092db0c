#include "imaging/jpeg/HuffmanCoder.h"

#include <bit>
#include <cstdint>

#include "imaging/jpeg/JpegExceptions.h"
#include "imaging/jpeg/Quantiser.h"

namespace {
// Number of bits of |value| (0 for 0).
inline int Category(int value) {
    uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    return 32 - std::countl_zero(magnitude);
}
// The low `category` bits of the value, or of value - 1 when it is negative.
inline uint32_t ExtraBits(int value, int category) {
    int bits = value < 0 ? value - 1 : value;
    return static_cast<uint32_t>(bits) & ((1u << category) - 1);
}
}  // namespace

void CodeBlock(const int* zigzag, int& predictor, const jpeg_tables::HuffmanSet& tables,
               COutBitStream& out) {
    int natural[64];
    for (int k = 0; k < 64; ++k) natural[jpeg_tables::kZigzag[k]] = zigzag[k];
    CodeNaturalBlock(natural, ZigzagNonZeroMask(natural), predictor, tables, out);
}

void CodeNaturalBlock(const int* natural, uint64_t nonZero, int& predictor,
                      const jpeg_tables::HuffmanSet& tables, COutBitStream& out) {
    int diff = natural[0] - predictor;
    predictor = natural[0];
    int s = Category(diff);
    if (s >= jpeg_tables::kDcSymbols)
        throw EIndexError(jpeg_tables::kDcSymbols, s, "CodeHuffman:DC");
    out.PutBits((uint32_t{tables.dc.code[s]} << s) | ExtraBits(diff, s), tables.dc.length[s] + s);

    nonZero &= ~uint64_t{1};  // the DC value is coded above
    int next = 1;             // the first position not yet coded
    while (nonZero != 0) {
        int k = std::countr_zero(nonZero);
        nonZero &= nonZero - 1;
        int run = k - next;
        for (; run > 15; run -= 16) {
            out.PutBits(tables.ac.code[jpeg_tables::kAcZrl], tables.ac.length[jpeg_tables::kAcZrl]);
        }
        int value = natural[jpeg_tables::kZigzag[k]];
        s = Category(value);
        int index = 10 * run + s + (run == 15 ? 1 : 0);
        // A size above 10 has no code of its own; its index would name another run's symbol.
        if (s > 10 || index >= jpeg_tables::kAcSymbols) {
            throw EIndexError(jpeg_tables::kAcSymbols, index, "CodeHuffman:AC");
        }
        out.PutBits((uint32_t{tables.ac.code[index]} << s) | ExtraBits(value, s),
                    tables.ac.length[index] + s);
        next = k + 1;
    }
    if (next <= 63)
        out.PutBits(tables.ac.code[jpeg_tables::kAcEob], tables.ac.length[jpeg_tables::kAcEob]);
}
