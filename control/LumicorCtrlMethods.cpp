// Snapshots, the device dialogs, window size and the overlay methods.
#include "control/LumicorAbout.h"
#include "control/LumicorCtrl.h"
#include "engine/VideoFormatPages.h"

BOOL CLumicorCtrl::SnapShot(const std::string& fileName) {
    return session_.SnapShot(fileName);
}

BOOL CLumicorCtrl::SnapShotJPEG(const std::string& fileName, int16_t quality) {
    return session_.SnapShotJPEG(fileName, quality);
}

int32_t CLumicorCtrl::SnapShot2HBITMAP() {
    return static_cast<int32_t>(session_.SnapShot2HBITMAP(snapshotBitmap_));
}

ComPtr<IPictureDisp> CLumicorCtrl::SnapShot2Picture() {
    return session_.SnapShot2Picture(pictureHolder_);
}

BOOL CLumicorCtrl::ShowVideoCapturePropertyPage() {
    return session_.ShowCaptureDevicePage();
}

BOOL CLumicorCtrl::ShowAudioCapturePropertyPage() {
    return session_.ShowAudioCapturePage();
}

BOOL CLumicorCtrl::ShowVideoFormatPropertyPage() {
    const std::string name = session_.ShowVideoFormatPage();
    const VideoFormatList& formats = videoFormats_->Entries();
    for (size_t i = 0; i < formats.size(); ++i) {
        if (formats[i].name == name) {
            videoFormat_ = static_cast<int16_t>(i);
            break;
        }
    }
    return TRUE;
}

BOOL CLumicorCtrl::ShowCrossbarPropertyPage() {
    const int32_t input = session_.ShowCrossbarPage();
    if (input == -1) return FALSE;
    videoInput_ = static_cast<int16_t>(input);
    return TRUE;
}

BOOL CLumicorCtrl::ScanTVChannels() {
    // A second scan replaces the first one's list instead of appending to it.
    tvChannels_->Empty();
    const int32_t result = session_.ScanChannels(tvChannels_->Entries());
    tvChannels_->Sync();
    return result;
}

void CLumicorCtrl::ResizeControl(int16_t width, int16_t height) {
    RequestResize(width, height);
    session_.captureDefaultDest = true;
    session_.ResizeVideo(width, height);
    session_.AttachVideoWindow();
}

void CLumicorCtrl::DrawText(int16_t x, int16_t y, const std::string& text) {
    textX_ = x;
    textY_ = y;
    overlayText_ = text;
    if (AmbientUserMode()) SendTextOverlay();
}

void CLumicorCtrl::DrawTime(int16_t x, int16_t y, int16_t dateFormat) {
    dateX_ = x;
    dateY_ = y;
    dateFormat_ = dateFormat;
    if (AmbientUserMode()) SendDateOverlay();
}

void CLumicorCtrl::DrawImage(int16_t x, int16_t y, const std::string& imagePath, OLE_COLOR transparentColor,
                             int16_t alpha) {
    if (!AmbientUserMode()) return;
    session_.DrawImageOverlay(x, y, imagePath, transparentColor, alpha);
}

void CLumicorCtrl::SetHashBrushValue(int16_t hatchStyle, OLE_COLOR foreColor, OLE_COLOR backColor) {
    hatchStyle_ = hatchStyle;
    hatchForeColor_ = foreColor;
    hatchBackColor_ = backColor;
    SendTextOverlay();
}

void CLumicorCtrl::SetTextureBrushImage(const std::string& image) {
    textureImage_ = image;
    SendTextOverlay();
}

void CLumicorCtrl::SetOutlineTextBackColor(OLE_COLOR color) {
    session_.UpdateOutlineBackColor(color);
}

void CLumicorCtrl::SetOutlineTextBorderColor(OLE_COLOR color) {
    session_.UpdateOutlineBorderColor(color);
}

void CLumicorCtrl::SetUserDefineVideoFormat(int16_t width, int16_t height) {
    userWidth_ = width;
    userHeight_ = height;
    session_.userWidth = width;
    session_.userHeight = height;
}

void CLumicorCtrl::AboutBox() {
    ShowLumicorAboutBox(ControlWidget());
}

HRESULT CLumicorCtrl::OnShowPropertyPages() {
    CAUUID pages;
    HRESULT hr = GetPages(&pages);
    if (FAILED(hr)) return hr;
    hr = ShowPropertyFrame(ContainerWindow(), "Lumicor Control Properties", static_cast<IDispatch*>(this), pages);
    std::free(pages.elements);
    return hr;
}
