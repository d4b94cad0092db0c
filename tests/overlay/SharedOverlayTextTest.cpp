#include "overlay/SharedOverlayText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {
std::string Stored() {
    OverlayTextBytes bytes;
    SharedOverlayText::CopyTo(bytes);
    return bytes.data();
}
}  // namespace

TEST(SharedOverlayText, KeepsTheTextAndCutsAtTheBuffer) {
    SharedOverlayText::Set("hello");
    EXPECT_EQ(Stored(), "hello");
    SharedOverlayText::Set(std::string(5000, 'x'));
    EXPECT_EQ(Stored(), std::string(1023, 'x'));
    SharedOverlayText::Set("");
    EXPECT_EQ(Stored(), "");
}

TEST(SharedOverlayText, NeverCutsACharacterInHalf) {
    // 1022 bytes, then a two-byte character that would end one byte past the buffer.
    std::string text = std::string(1022, 'a') + "\xC3\xA9" + "tail";
    SharedOverlayText::Set(text);
    EXPECT_EQ(Stored(), std::string(1022, 'a'));
    std::string fits = std::string(1021, 'a') + "\xC3\xA9";
    SharedOverlayText::Set(fits + "more");
    EXPECT_EQ(Stored(), fits);
}
