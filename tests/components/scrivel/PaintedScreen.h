#pragma once
// A test client that paints known content over the whole screen of an X server: four coloured
// quadrants, a white square moving along the middle band, and a solid magenta 16 x 16 cursor
// with its hot spot at its top-left corner, so that a recording can be checked pixel by pixel.
#include <atomic>
#include <string>
#include <thread>

struct Rgb {
    int r, g, b;
};

class PaintedScreen {
public:
    static constexpr Rgb kTopLeft{255, 0, 0};
    static constexpr Rgb kTopRight{0, 200, 0};
    static constexpr Rgb kBottomLeft{0, 0, 255};
    static constexpr Rgb kBottomRight{255, 255, 0};
    static constexpr Rgb kCursor{255, 0, 255};
    static constexpr int kCursorSize = 16;

    // Opens its window on `display` and keeps painting until destroyed; Ready() tells whether it
    // came up.
    explicit PaintedScreen(const std::string& display);
    ~PaintedScreen();
    PaintedScreen(const PaintedScreen&) = delete;
    PaintedScreen& operator=(const PaintedScreen&) = delete;

    bool Ready() const { return ready_; }
    // The quadrant colour expected at a screen point outside the middle band.
    static Rgb ColourAt(int x, int y, int width, int height);

private:
    void Run(std::string display);

    std::atomic<bool> stop_{false};
    std::atomic<bool> ready_{false};
    std::atomic<bool> started_{false};
    std::thread thread_;
};
