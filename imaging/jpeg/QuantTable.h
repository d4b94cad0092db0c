#pragma once
// Snapshot quality (0..100) to the one quantisation table that luminance and chrominance share.
#include <array>

// Throws EJpegRequestError(kQualityErrorText) for a quality outside 0..100.
std::array<int, 64> QuantTableForQuality(int quality);
