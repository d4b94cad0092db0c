#pragma once
// Reads a Windows Media profile (.prx) text: the <profile> element with its name and description,
// one <streamconfig> per stream (major type, number, names, bit rate, buffer window), the
// stream's <wmmediatype> with a <waveformatex> or a <videoinfoheader> (rectangles, frame interval,
// <bitmapinfoheader>), and for video <videomediaprops>. Element and attribute names are matched
// without regard to case; unknown elements are skipped.
//
// The text is UTF-16 in host order, optionally led by a byte order mark; a swapped mark means the
// whole text is byte-swapped. Anything else (unpaired surrogates, text that is not XML, a missing
// element or attribute, sizes and rates outside profile_limits) is NS_E_INVALIDPROFILE.
#include <string_view>

#include "platform/wmf/ProfileDescription.h"

// The longest profile text accepted, in UTF-16 units.
inline constexpr size_t kMaxProfileTextLength = 153600;

HRESULT ParseProfileText(std::u16string_view text, ProfileDescription* profile);
