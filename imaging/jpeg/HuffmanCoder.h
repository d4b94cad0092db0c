#pragma once
// Huffman coding of one quantised block: the DC difference against the component's predictor,
// then the AC run/size symbols in zigzag order, ZRL for every 16 zeros before a non-zero value and
// EOB unless the last coefficient is non-zero.
#include <cstdint>

#include "imaging/jpeg/COutBitStream.h"
#include "imaging/jpeg/JpegTables.h"

// zigzag: 64 quantised values in zigzag order. Throws EIndexError(12, category, "CodeHuffman:DC")
// or EIndexError(162, index, "CodeHuffman:AC") for a value the tables cannot code.
void CodeBlock(const int* zigzag, int& predictor, const jpeg_tables::HuffmanSet& tables,
               COutBitStream& out);
// The same from values in natural order, with the zigzag positions of the non-zero ones known
// (bit k for zigzag position k).
void CodeNaturalBlock(const int* natural, uint64_t zigzagNonZero, int& predictor,
                      const jpeg_tables::HuffmanSet& tables, COutBitStream& out);
