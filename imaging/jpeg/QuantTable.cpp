#include "imaging/jpeg/QuantTable.h"

#include "imaging/jpeg/JpegExceptions.h"
#include "imaging/jpeg/JpegTables.h"

namespace {
// a * b / c rounded to nearest, halves away from zero; callers pass non-negative values.
int MulDiv(int a, int b, int c) {
    return static_cast<int>((static_cast<long long>(a) * b + c / 2) / c);
}
}  // namespace

std::array<int, 64> QuantTableForQuality(int quality) {
    if (quality < 0 || quality > 100) throw EJpegRequestError(kQualityErrorText);
    std::array<int, 64> table{};
    for (int i = 0; i < 64; ++i) {
        int twice = 2 * jpeg_tables::kChrominanceQuant[i];
        int q = twice - MulDiv(twice, quality, 100);
        table[i] = q <= 0 ? 1 : q;
    }
    return table;
}
