#pragma once
// Frames and pictures for the overlay tests: RGB24 buffers addressed by displayed position.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <QColor>
#include <QImage>

#include "overlay/OverlayRenderer.h"
#include "tests/support/TestEnvironment.h"

namespace overlay_test {

struct Frame {
    FrameLayout layout;
    std::vector<uint8_t> bytes;

    // A frame of one colour; a negative height makes it top-down.
    static Frame Filled(int width, int height, QColor colour) {
        Frame f;
        f.layout = *Rgb24Layout(width, height);
        f.bytes.assign(f.layout.ImageBytes(), 0);
        for (int y = 0; y < f.layout.height; ++y)
            for (int x = 0; x < f.layout.width; ++x) f.Set(x, y, colour);
        return f;
    }
    uint8_t* At(int x, int y) {
        int row = layout.bottomUp ? layout.height - 1 - y : y;
        return bytes.data() + static_cast<size_t>(row) * layout.stride + static_cast<size_t>(x) * 3;
    }
    void Set(int x, int y, QColor c) {
        uint8_t* p = At(x, y);
        p[0] = static_cast<uint8_t>(c.blue());
        p[1] = static_cast<uint8_t>(c.green());
        p[2] = static_cast<uint8_t>(c.red());
    }
    QColor Get(int x, int y) {
        uint8_t* p = At(x, y);
        return QColor(p[2], p[1], p[0]);
    }
    // Pixels inside the rectangle (displayed coordinates) that differ from `colour`.
    int CountDifferent(int x0, int y0, int w, int h, QColor colour) {
        int n = 0;
        for (int y = y0; y < y0 + h && y < layout.height; ++y)
            for (int x = x0; x < x0 + w && x < layout.width; ++x)
                if (Get(x, y) != colour) ++n;
        return n;
    }
};

// Writes a picture into the test folder and returns its path.
inline std::string SavePicture(const QImage& image, const std::string& name) {
    std::filesystem::path file = testing_support::TestEnvironment::Current().Dir() / name;
    image.save(QString::fromStdString(file.string()));
    return file.string();
}

inline QImage SolidPicture(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

}  // namespace overlay_test
