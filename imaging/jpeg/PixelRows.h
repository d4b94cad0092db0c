#pragma once
// The per-pixel loops of the encoder over one row: splitting stored B, G, R triples into planes
// and converting plane samples to Y, Cb and Cr (the expressions of ColourConversion.h).
#include <cstdint>

void SplitBgrRow(const uint8_t* bgr, int count, uint8_t* red, uint8_t* green, uint8_t* blue);
// Y of count pixels.
void ConvertLumaRow(const uint8_t* red, const uint8_t* green, const uint8_t* blue, int count,
                    int16_t* luma);
// Cb and Cr of the pixels 0, 2, 4, ...: count samples each.
void ConvertChromaRow(const uint8_t* red, const uint8_t* green, const uint8_t* blue, int count,
                      int16_t* cb, int16_t* cr);
