#include "tests/imaging/jpeg/TestPictures.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {

uint8_t Clamp(double v) {
    return static_cast<uint8_t>(std::clamp(v, 0.0, 255.0));
}

// Smooth value noise in [0, 1) on a lattice of the given cell size.
class ValueNoise {
public:
    explicit ValueNoise(unsigned seed) {
        std::mt19937 rng(seed);
        for (auto& v : lattice_) v = std::uniform_real_distribution<double>(0, 1)(rng);
    }
    double At(double x, double y) const {
        int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
        double fx = x - ix, fy = y - iy;
        fx = fx * fx * (3 - 2 * fx);
        fy = fy * fy * (3 - 2 * fy);
        double a = Lattice(ix, iy), b = Lattice(ix + 1, iy), c = Lattice(ix, iy + 1),
               d = Lattice(ix + 1, iy + 1);
        return (a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy;
    }
    double Fractal(double x, double y, int octaves) const {
        double sum = 0, amplitude = 0.5;
        for (int i = 0; i < octaves; ++i, x *= 2.03, y *= 2.03, amplitude *= 0.5)
            sum += amplitude * At(x, y);
        return sum;
    }

private:
    double Lattice(int x, int y) const {
        return lattice_[(static_cast<unsigned>(x) * 73856093u ^
                         static_cast<unsigned>(y) * 19349663u) %
                        4096];
    }
    double lattice_[4096];
};

}  // namespace

RgbPicture PhotoPicture(int width, int height, unsigned seed) {
    RgbPicture p{width, height, std::vector<uint8_t>(3 * static_cast<size_t>(width) * height)};
    ValueNoise noise(seed);
    std::mt19937 rng(seed * 7919u);
    std::normal_distribution<double> sensor(0.0, 2.5);
    const double scale = 64.0 / std::max(width, height);  // the same scene at every size
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            double sx = x * scale, sy = y * scale;
            double horizon = 30 + 8 * noise.Fractal(sx * 0.05, 3.1, 4) + 6 * std::sin(sx * 0.09);
            double r, g, b;
            if (sy < horizon) {  // sky: a gradient, clouds and a sun disc
                double t = sy / horizon;
                double cloud = std::max(0.0, noise.Fractal(sx * 0.08, sy * 0.16, 5) - 0.45) * 2.2;
                r = 90 + 90 * t + 150 * cloud;
                g = 140 + 70 * t + 140 * cloud;
                b = 230 - 20 * t + 80 * cloud;
                double d = std::hypot(sx - 46, sy - 10);
                if (d < 5) r = g = b = 250 - d;
            } else {  // hills: lit grass with texture and a few rocks
                double shade = 0.6 + 0.4 * noise.Fractal(sx * 0.3, sy * 0.3, 6);
                double depth = (sy - horizon) / 40.0;
                r = (70 + 40 * depth) * shade;
                g = (120 + 20 * depth) * shade;
                b = (40 + 10 * depth) * shade;
                if (noise.At(sx * 0.4, sy * 0.4) > 0.82) r = g = b = 110 * shade + 40;
            }
            uint8_t* px = &p.rgb[3 * (static_cast<size_t>(y) * width + x)];
            px[0] = Clamp(r + sensor(rng));
            px[1] = Clamp(g + sensor(rng));
            px[2] = Clamp(b + sensor(rng));
        }
    }
    return p;
}

RgbPicture NoisePicture(int width, int height, unsigned seed) {
    RgbPicture p{width, height, std::vector<uint8_t>(3 * static_cast<size_t>(width) * height)};
    std::mt19937 rng(seed);
    for (auto& v : p.rgb) v = static_cast<uint8_t>(rng());
    return p;
}

RgbPicture SyntheticPicture(int width, int height) {
    RgbPicture p{width, height, std::vector<uint8_t>(3 * static_cast<size_t>(width) * height)};
    // The 75% bars of a test chart.
    static const uint8_t bars[8][3] = {{191, 191, 191}, {191, 191, 0}, {0, 191, 191}, {0, 191, 0},
                                       {191, 0, 191},   {191, 0, 0},   {0, 0, 191},   {16, 16, 16}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* px = &p.rgb[3 * (static_cast<size_t>(y) * width + x)];
            if (y < height / 2) {  // colour bars, each an even number of pixels wide
                const uint8_t* c = bars[std::min(7, x / std::max(2, width / 16 * 2))];
                px[0] = c[0], px[1] = c[1], px[2] = c[2];
            } else if (y < 3 * height / 4) {  // grey ramp
                px[0] = px[1] = px[2] = static_cast<uint8_t>(255 * x / std::max(1, width - 1));
            } else {  // dark strokes two pixels wide on a light background, like text
                bool ink =
                    ((x / 2) % 4 == 0 && (y / 2) % 5 != 0) || (y / 2 % 6 == 0 && (x / 8) % 3 != 2);
                px[0] = px[1] = px[2] = ink ? 20 : 235;
            }
        }
    }
    return p;
}

Dib24 ToDib24(const RgbPicture& picture) {
    Dib24 dib;
    const size_t stride = (3 * static_cast<size_t>(picture.width) + 3) / 4 * 4;
    dib.header.biWidth = picture.width;
    dib.header.biHeight = picture.height;
    dib.header.biBitCount = 24;
    dib.header.biSizeImage = static_cast<uint32_t>(stride * picture.height);
    dib.bits.assign(stride * picture.height, 0);
    for (int y = 0; y < picture.height; ++y) {
        uint8_t* row = &dib.bits[(picture.height - 1 - y) * stride];
        for (int x = 0; x < picture.width; ++x) {
            const uint8_t* px = picture.At(x, y);
            row[3 * x] = px[2];
            row[3 * x + 1] = px[1];
            row[3 * x + 2] = px[0];
        }
    }
    return dib;
}
