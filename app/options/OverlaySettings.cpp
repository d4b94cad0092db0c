#include "app/options/OverlaySettings.h"

#include "app/outside/CLumicor.h"

OverlaySettings& Overlay() {
    static OverlaySettings settings;
    return settings;
}

std::string DefaultOverlayImage(const std::string& programFolder) {
    return programFolder + "/logo/sample1.bmp";
}

void ReadOverlaySettings(const IniStore& store, OverlaySettings& s) {
    const char* section = kTextImgSection;
    s.isDate = store.GetBool(section, "IsdDate", s.isDate);
    s.isText = store.GetBool(section, "IsText", s.isText);
    s.isImage = store.GetBool(section, "IsImage", s.isImage);
    s.text = store.GetString(section, "Text", s.text);
    s.imagePath = store.GetString(section, "ImagePath", s.imagePath);
    s.font = store.GetString(section, "Font", s.font);
    s.textX = store.GetInt(section, "TextX", s.textX);
    s.textY = store.GetInt(section, "TextY", s.textY);
    s.dateX = store.GetInt(section, "DateX", s.dateX);
    s.dateY = store.GetInt(section, "DateY", s.dateY);
    s.imageX = store.GetInt(section, "ImageX", s.imageX);
    s.imageY = store.GetInt(section, "ImageY", s.imageY);
    s.fontSize = store.GetInt(section, "FontSize", s.fontSize);
    s.dateSize = store.GetInt(section, "DateSize", s.dateSize);
    s.imageAlpha = store.GetInt(section, "ImageAlpha", s.imageAlpha);
    const int styles = static_cast<int>(kOverlayStyles.size());
    s.fontType = store.GetIndex(section, "FontType", s.fontType, styles);
    s.dateFormat = store.GetIndex(section, "DateFormat", s.dateFormat, static_cast<int>(kDateFormats.size()));
    s.dateType = store.GetIndex(section, "DateType", s.dateType, styles);
    s.textColor = store.GetColor(section, "TextColor", s.textColor);
    s.imageTColor = store.GetColor(section, "ImageTColor", s.imageTColor);
    s.dateColor = store.GetColor(section, "DateColor", s.dateColor);
}

bool WriteOverlaySettings(IniStore& store, const OverlaySettings& s) {
    const char* section = kTextImgSection;
    bool ok = store.WriteBool(section, "IsdDate", s.isDate);
    ok &= store.WriteBool(section, "IsText", s.isText);
    ok &= store.WriteBool(section, "IsImage", s.isImage);
    ok &= store.WriteString(section, "Text", s.text);
    ok &= store.WriteString(section, "ImagePath", s.imagePath);
    ok &= store.WriteString(section, "Font", s.font);
    ok &= store.WriteInt(section, "TextX", s.textX);
    ok &= store.WriteInt(section, "TextY", s.textY);
    ok &= store.WriteInt(section, "DateX", s.dateX);
    ok &= store.WriteInt(section, "DateY", s.dateY);
    ok &= store.WriteInt(section, "ImageX", s.imageX);
    ok &= store.WriteInt(section, "ImageY", s.imageY);
    ok &= store.WriteInt(section, "FontSize", s.fontSize);
    ok &= store.WriteInt(section, "DateSize", s.dateSize);
    ok &= store.WriteInt(section, "ImageAlpha", s.imageAlpha);
    ok &= store.WriteInt(section, "FontType", s.fontType);
    ok &= store.WriteInt(section, "DateFormat", s.dateFormat);
    ok &= store.WriteInt(section, "DateType", s.dateType);
    ok &= store.WriteColor(section, "TextColor", s.textColor);
    ok &= store.WriteColor(section, "ImageTColor", s.imageTColor);
    ok &= store.WriteColor(section, "DateColor", s.dateColor);
    return ok;
}

namespace {
short Short(int value) { return static_cast<short>(value); }
}  // namespace

void ApplyOverlaySettings(const CLumicor& control, const OverlaySettings& s) {
    if (s.isDate) {
        control.SetShowDateTime(TRUE);
        control.SetDateFontStyle(Short(s.dateType));
        control.SetDateFontName(s.font);
        control.SetDateFontSize(Short(s.dateSize));
        control.SetDateColor(s.dateColor);
        control.DrawTime(Short(s.dateX), Short(s.dateY), Short(s.dateFormat));
    } else {
        control.SetShowDateTime(FALSE);
    }
    if (s.isText) {
        control.SetShowText(TRUE);
        control.SetTextFontStyle(Short(s.fontType));
        control.SetTextFontSize(Short(s.fontSize));
        control.SetTextFontName(s.font);
        control.SetTextColor(s.textColor);
        control.DrawText(Short(s.textX), Short(s.textY), s.text);
    } else {
        control.SetShowText(FALSE);
    }
    if (s.isImage) {
        control.SetShowImage(TRUE);
        control.DrawImage(Short(s.imageX), Short(s.imageY), s.imagePath, s.imageTColor, Short(s.imageAlpha));
    } else {
        control.SetShowImage(FALSE);
    }
}

void HideOverlay(const CLumicor& control) {
    control.SetShowText(FALSE);
    control.SetShowDateTime(FALSE);
    control.SetShowImage(FALSE);
}
