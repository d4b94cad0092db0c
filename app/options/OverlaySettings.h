#pragma once
// The overlay the capture control draws onto previewed and recorded video: a text line, the
// date and time, and a logo image. One process-wide record, kept in section "TextImg" of the
// settings store and handed to the control by ApplyOverlaySettings.
#include <array>
#include <string>

#include "app/shell/IniStore.h"

class CLumicor;

inline constexpr char kTextImgSection[] = "TextImg";

struct OverlaySettings {
    bool isText = true;
    std::string text = "My Video";
    std::string font = "Tahoma";  // face of the text and of the date/time
    int fontSize = 26;
    int fontType = 0;                      // index in kOverlayStyles
    COLORREF textColor = RGB(255, 0, 0);
    int textX = 0, textY = 0;
    bool isDate = true;
    int dateFormat = 7;  // index in kDateFormats
    int dateType = 0;
    int dateSize = 22;
    COLORREF dateColor = RGB(0, 0, 0);
    int dateX = 0, dateY = 30;
    bool isImage = false;
    std::string imagePath;  // the program's sample logo until chosen
    int imageX = 0, imageY = 50;
    COLORREF imageTColor = RGB(255, 255, 255);
    int imageAlpha = 0;  // percent
};

// The process-wide record.
OverlaySettings& Overlay();

// The logo the program ships: "logo/sample1.bmp" in the program folder.
std::string DefaultOverlayImage(const std::string& programFolder);

inline constexpr std::array<const char*, 5> kOverlayStyles = {"Regular", "Bold", "Italic",
                                                              "Bold + Italic", "Underline"};
inline constexpr std::array<const char*, 19> kDateFormats = {
    "mm/dd/yyyy",          "dd/mm/yyyy",          "mm.dd.yyyy",          "dd.mm.yyyy",
    "hh:mm:ss",            "hh:mm",               "mm:ss",               "mm/dd/yyyy hh:mm:ss",
    "dd/mm/yyyy hh:mm:ss", "mm.dd.yyyy hh:mm:ss", "dd.mm.yyyy hh:mm:ss", "mm/dd/yyyy hh:mm",
    "dd/mm/yyyy hh:mm",    "mm.dd.yyyy hh:mm",    "dd.mm.yyyy hh:mm",    "mm/dd/yyyy.mm:ss",
    "dd/mm/yyyy.mm:ss",    "mm.dd.yyyy.mm:ss",    "dd.mm.yyyy.mm:ss"};

// Every "TextImg" key over the record, the record's values being the defaults. A style or
// format index outside its list keeps the record's value.
void ReadOverlaySettings(const IniStore& store, OverlaySettings& settings);
// Every key, in the order they are read. False when the file could not be written.
bool WriteOverlaySettings(IniStore& store, const OverlaySettings& settings);

// Draws what the record enables and switches off what it does not: date/time, text, image.
void ApplyOverlaySettings(const CLumicor& control, const OverlaySettings& settings);
// Switches all three overlays off.
void HideOverlay(const CLumicor& control);
