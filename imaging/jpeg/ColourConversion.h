#pragma once
// RGB to the encoder's Y, Cb and Cr samples: each double expression exactly as written, truncated
// toward zero. The expressions are the definition of the output; keep their order of operations.
namespace ycc {

inline int Luma(int r, int g, int b) {
    return static_cast<int>(0.299 * r + 0.587 * g + 0.114 * b - 128.0);
}

inline int BlueDifference(int r, int g, int b) {
    return static_cast<int>(0.5 * b - (0.1687 * r + 0.3313 * g));
}

inline int RedDifference(int r, int g, int b) {
    return static_cast<int>(0.5 * r - 0.4187 * g - 0.0813 * b);
}

}  // namespace ycc
