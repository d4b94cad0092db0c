#include "bench/support/BenchFigures.h"

#include <algorithm>
#include <cstdio>

std::string LoadAverage() {
    FILE* f = std::fopen("/proc/loadavg", "r");
    if (!f) return "?";
    char text[64] = {};
    if (!std::fgets(text, sizeof text, f)) text[0] = 0;
    std::fclose(f);
    std::string load = text;
    return load.substr(0, load.find(' '));
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void PrintSpread(const char* what, const std::vector<double>& values, const char* unit) {
    if (values.empty()) return;
    auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    std::printf("  %-34s median %.3f%s, min %.3f, max %.3f (%zu runs)\n", what, Median(values), unit, *lo, *hi,
                values.size());
}
