#include "tests/imaging/jpeg/JpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>
#include <stdexcept>

#include "imaging/jpeg/JpegTables.h"

namespace jpeg_test {

std::vector<Segment> HeaderSegments(std::span<const uint8_t> file) {
    std::vector<Segment> segments;
    if (file.size() < 2 || file[0] != 0xFF || file[1] != 0xD8) throw std::runtime_error("no SOI");
    segments.push_back({0xD8, 0, 0});
    size_t pos = 2;
    while (pos + 4 <= file.size()) {
        if (file[pos] != 0xFF) throw std::runtime_error("no marker at " + std::to_string(pos));
        Segment s{file[pos + 1], pos, static_cast<size_t>(file[pos + 2]) << 8 | file[pos + 3]};
        if (s.length < 2 || pos + 2 + s.length > file.size())
            throw std::runtime_error("bad length");
        segments.push_back(s);
        pos += 2 + s.length;
        if (s.marker == 0xDA) break;
    }
    return segments;
}

std::span<const uint8_t> EntropyData(std::span<const uint8_t> file) {
    const Segment sos = HeaderSegments(file).back();
    size_t start = sos.offset + 2 + sos.length;
    if (file.size() < start + 2 || file[file.size() - 2] != 0xFF || file.back() != 0xD9) {
        throw std::runtime_error("no EOI");
    }
    return file.subspan(start, file.size() - 2 - start);
}

std::map<int, std::pair<uint32_t, int>> CodesOfSegment(std::span<const uint8_t> segment) {
    std::map<int, std::pair<uint32_t, int>> codes;
    const uint8_t* bits = segment.data() + 5;
    const uint8_t* values = bits + 16;
    uint32_t code = 0;
    for (int length = 1, k = 0; length <= 16; ++length, code <<= 1) {
        for (int i = 0; i < bits[length - 1]; ++i) codes[values[k++]] = {code++, length};
    }
    return codes;
}

ScanReader::ScanReader(std::span<const uint8_t> data) : data_(data) {}

int ScanReader::Bit() {
    if (bit_ == 0) {
        if (pos_ >= data_.size()) throw std::runtime_error("entropy data ends early");
        current_ = data_[pos_++];
        if (current_ == 0xFF) {
            if (pos_ >= data_.size() || data_[pos_] != 0x00)
                throw std::runtime_error("0xFF not stuffed");
            ++pos_;
        }
    }
    int b = (current_ >> (7 - bit_)) & 1;
    bit_ = (bit_ + 1) % 8;
    return b;
}

uint32_t ScanReader::Bits(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | static_cast<uint32_t>(Bit());
    return v;
}

int ScanReader::Symbol(const std::map<int, std::pair<uint32_t, int>>& codes) {
    uint32_t code = 0;
    for (int length = 1; length <= 16; ++length) {
        code = (code << 1) | static_cast<uint32_t>(Bit());
        for (const auto& [symbol, c] : codes) {
            if (c.first == code && c.second == length) return symbol;
        }
    }
    throw std::runtime_error("no such code");
}

namespace {
int Extend(uint32_t bits, int size) {
    if (size == 0) return 0;
    return bits < (1u << (size - 1)) ? static_cast<int>(bits) - (1 << size) + 1
                                     : static_cast<int>(bits);
}
}  // namespace

std::array<int, 64> ScanReader::Block(const std::map<int, std::pair<uint32_t, int>>& dc,
                                      const std::map<int, std::pair<uint32_t, int>>& ac,
                                      int& predictor, bool* sawEob) {
    std::array<int, 64> zz{};
    int s = Symbol(dc);
    predictor += Extend(Bits(s), s);
    zz[0] = predictor;
    if (sawEob) *sawEob = false;
    for (int k = 1; k < 64;) {
        int symbol = Symbol(ac);
        int run = symbol >> 4, size = symbol & 15;
        if (symbol == 0x00) {
            if (sawEob) *sawEob = true;
            break;
        }
        k += run;
        if (size == 0) {  // ZRL
            ++k;
            continue;
        }
        if (k > 63) throw std::runtime_error("run past the block");
        zz[k++] = Extend(Bits(size), size);
    }
    return zz;
}

std::optional<RgbPicture> DecodeWithDjpeg(std::span<const uint8_t> jpeg,
                                          const std::filesystem::path& dir) {
    const std::filesystem::path in = dir / "decode-in.jpg", out = dir / "decode-out.ppm";
    {
        std::ofstream file(in, std::ios::binary);
        file.write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
    }
    std::filesystem::remove(out);
    std::string command =
        "djpeg -pnm -outfile '" + out.string() + "' '" + in.string() + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return std::nullopt;
    std::vector<uint8_t> ppm = ReadBytes(out);
    // "P6 <w> <h> 255\n" then the pixels
    RgbPicture picture;
    int maxValue = 0, consumed = 0;
    if (std::sscanf(reinterpret_cast<const char*>(ppm.data()), "P6 %d %d %d%n", &picture.width,
                    &picture.height, &maxValue, &consumed) != 3 ||
        maxValue != 255) {
        return std::nullopt;
    }
    size_t start = static_cast<size_t>(consumed) + 1;
    size_t size = 3 * static_cast<size_t>(picture.width) * picture.height;
    if (ppm.size() < start + size) return std::nullopt;
    picture.rgb.assign(ppm.begin() + static_cast<std::ptrdiff_t>(start),
                       ppm.begin() + static_cast<std::ptrdiff_t>(start + size));
    return picture;
}

double Psnr(const RgbPicture& a, const RgbPicture& b) {
    if (a.rgb.size() != b.rgb.size() || a.rgb.empty()) return 0;
    double sum = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i)
        sum += std::pow(static_cast<double>(a.rgb[i]) - b.rgb[i], 2);
    double mse = sum / static_cast<double>(a.rgb.size());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

double ReferenceDctValue(const int* f, int u, int v) {
    // cos[(2x + 1) u pi / 16], computed once
    static const auto cosine = [] {
        std::array<std::array<double, 8>, 8> table{};
        for (int k = 0; k < 8; ++k) {
            for (int x = 0; x < 8; ++x)
                table[k][x] = std::cos((2 * x + 1) * k * std::numbers::pi / 16);
        }
        return table;
    }();
    double sum = 0.0;
    for (int x = 0; x < 8; ++x) {
        for (int y = 0; y < 8; ++y) sum += f[8 * x + y] * cosine[u][x] * cosine[v][y];
    }
    const double c0 = 0.7071067811865475;
    return 0.25 * (u == 0 ? c0 : 1.0) * (v == 0 ? c0 : 1.0) * sum;
}

int ReferenceDct(const int* f, int u, int v) {
    return static_cast<int>(ReferenceDctValue(f, u, v));
}

namespace {

// Bits as the stream defines them: ORed into the current byte from the top, a completed 0xFF
// followed by 0x00, a partial byte filled with 1-bits before any marker or segment byte.
class ReferenceBits {
public:
    void SetBits(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i) {
            current_ |= static_cast<uint8_t>(((value >> i) & 1) << free_);
            if (--free_ < 0) Complete();
        }
    }
    void Byte(uint8_t b) {
        if (free_ != 7) {
            while (free_ >= 0) current_ |= static_cast<uint8_t>(1 << free_--);
            Complete();
        }
        out_.push_back(b);
    }
    void Word(int w) {
        Byte(static_cast<uint8_t>(w >> 8));
        Byte(static_cast<uint8_t>(w));
    }
    std::vector<uint8_t> Take() { return std::move(out_); }

private:
    void Complete() {
        out_.push_back(current_);
        if (current_ == 0xFF) out_.push_back(0x00);
        current_ = 0;
        free_ = 7;
    }
    std::vector<uint8_t> out_;
    uint8_t current_ = 0;
    int free_ = 7;
};

int Category(int v) {
    int a = std::abs(v), s = 0;
    while (a) ++s, a >>= 1;
    return s;
}

}  // namespace

std::vector<uint8_t> ReferenceEncode(const RgbPicture& p, const ReferenceOptions& o) {
    ReferenceBits out;
    out.Word(0xFFD8);
    out.Word(0xFFE0);
    out.Word(16);
    for (char c : std::string("JFIF")) out.Byte(static_cast<uint8_t>(c));
    out.Byte(0);
    out.Word(0x0102);
    out.Byte(static_cast<uint8_t>(o.densityUnit));
    out.Word(o.xDensity);
    out.Word(o.yDensity);
    out.Byte(0);
    out.Byte(0);
    if (o.comment) {
        out.Word(0xFFFE);
        out.Word(static_cast<int>(o.comment->size()) + 3);
        for (char c : *o.comment) out.Byte(static_cast<uint8_t>(c));
        out.Byte(0);
    }
    const std::array<int, 64>* tables[2] = {&o.table0, &o.table1};
    for (int t = 0; t < 2; ++t) {
        out.Word(0xFFDB);
        out.Word(67);
        out.Byte(static_cast<uint8_t>(t));
        for (int k = 0; k < 64; ++k)
            out.Byte(static_cast<uint8_t>((*tables[t])[jpeg_tables::kZigzag[k]]));
    }
    std::map<int, std::pair<uint32_t, int>> codes[4];
    for (int i = 0; i < 4; ++i) {
        std::span<const uint8_t> dht = jpeg_tables::DhtSegment(i);
        for (uint8_t b : dht) out.Byte(b);
        codes[i] = CodesOfSegment(dht);
    }
    out.Word(0xFFC0);
    out.Word(17);
    out.Byte(8);
    out.Word(p.height);
    out.Word(p.width);
    for (int b : {3, 0, 0x22, 0, 1, 0x11, 1, 2, 0x11, 1}) out.Byte(static_cast<uint8_t>(b));
    out.Word(0xFFDA);
    out.Word(12);
    for (int b : {3, 0, 0x00, 1, 0x11, 2, 0x11, 0, 63, 0}) out.Byte(static_cast<uint8_t>(b));

    auto pixel = [&](int x, int y) {
        return p.At(std::min(x, p.width - 1), std::min(y, p.height - 1));
    };
    int predictor[3] = {0, 0, 0};
    auto codeBlock = [&](const int* f, int component) {
        const int table = component == 0 ? 0 : 1;
        int coefficient[64], zz[64];
        for (int u = 0; u < 8; ++u) {
            for (int v = 0; v < 8; ++v)
                coefficient[8 * u + v] = ReferenceDct(f, u, v) / (*tables[table])[8 * u + v];
        }
        for (int k = 0; k < 64; ++k) zz[k] = coefficient[jpeg_tables::kZigzag[k]];
        auto emit = [&](const std::map<int, std::pair<uint32_t, int>>& c, int symbol, int value,
                        int size) {
            out.SetBits(c.at(symbol).first, c.at(symbol).second);
            if (size > 0)
                out.SetBits(
                    static_cast<uint32_t>(value < 0 ? value - 1 : value) & ((1u << size) - 1),
                    size);
        };
        int diff = zz[0] - predictor[component];
        predictor[component] = zz[0];
        emit(codes[table], Category(diff), diff, Category(diff));
        int run = 0;
        for (int k = 1; k < 64; ++k) {
            if (zz[k] == 0) {
                if (k == 63) emit(codes[2 + table], 0x00, 0, 0);
                ++run;
                continue;
            }
            for (; run > 15; run -= 16) emit(codes[2 + table], 0xF0, 0, 0);
            emit(codes[2 + table], run << 4 | Category(zz[k]), zz[k], Category(zz[k]));
            run = 0;
        }
    };
    for (int my = 0; my < (p.height + 15) / 16; ++my) {
        for (int mx = 0; mx < (p.width + 15) / 16; ++mx) {
            for (int k = 0; k < 4; ++k) {
                int f[64];
                for (int row = 0; row < 8; ++row) {
                    for (int col = 0; col < 8; ++col) {
                        const uint8_t* px =
                            pixel(16 * mx + 8 * (k % 2) + col, 16 * my + 8 * (k / 2) + row);
                        f[8 * row + col] =
                            static_cast<int>(0.299 * px[0] + 0.587 * px[1] + 0.114 * px[2] - 128);
                    }
                }
                codeBlock(f, 0);
            }
            int cb[64], cr[64];
            for (int i = 0; i < 8; ++i) {
                for (int j = 0; j < 8; ++j) {
                    const uint8_t* px = pixel(16 * mx + 2 * j, 16 * my + 2 * i);
                    cb[8 * i + j] =
                        static_cast<int>(0.5 * px[2] - (0.1687 * px[0] + 0.3313 * px[1]));
                    cr[8 * i + j] = static_cast<int>(0.5 * px[0] - 0.4187 * px[1] - 0.0813 * px[2]);
                }
            }
            codeBlock(cb, 1);
            codeBlock(cr, 2);
        }
    }
    out.Word(0xFFD9);
    return out.Take();
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace jpeg_test
