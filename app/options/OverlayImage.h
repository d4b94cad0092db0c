#pragma once
// The overlay always draws a BMP copy of the logo a person chooses: the picture (the last frame
// of a multi-frame file other than a GIF) with its alpha flattened onto white, saved as
// "pictmp/NAME.bmp" in the program folder, and the colour of its pixel at column 1, row 1 from
// the bottom, which becomes the transparent colour.
#include <optional>
#include <string>
#include <vector>

#include "app/options/ColorRef.h"

struct OverlayImageCopy {
    std::string bmpPath;
    COLORREF transparent = 0;
};

// The file-name extensions the installed image readers know, lower-case ("bmp", "tif", ...).
std::vector<std::string> OverlayImageExtensions();
// The open dialog's filter: every known extension, then JPG, GIF, BMP and ICON files.
std::string OverlayImageFilter();

// nullopt when the extension is unknown, the file does not load or the copy cannot be saved
// (the reason goes to standard error).
std::optional<OverlayImageCopy> MakeOverlayImageCopy(const std::string& file, const std::string& programFolder);
