#pragma once
// The snapshot entry points: a bitmap to JFIF bytes, and to a JFIF file.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "imaging/jpeg/Dib.h"
#include "imaging/jpeg/DibImage.h"

// The JFIF bytes of the bitmap at quality 0..100 (one shared quantisation table, comment
// "this is test data", 72 x 72 dots per inch). Throws EJpegRequestError with kQualityErrorText or
// kUnsupportedBitmapText; returns nothing when the encoder failed.
std::vector<uint8_t> EncodeJpeg(const DibImage& bitmap, int quality);

// Encodes the bitmap (header, the colour table that follows it, pixel bits) and writes the file.
// 1 when the file was written, else 0; no exception escapes. The file appears whole or not at all:
// the bytes go to a temporary file beside it, which replaces the target only once complete.
// errorText, when given, receives the text of a refused request.
int SaveJpegFile(const DibHeader& header, std::span<const RgbQuad> colours,
                 std::span<const uint8_t> bits, const std::filesystem::path& path, int quality,
                 std::string* errorText = nullptr);
