// The page's recordings (menu commands and requested starts), Stop, Pause and Resume, the
// one-second timer and the snapshots.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTimer>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/options/DeviceAviDialog.h"
#include "app/options/OverlaySettings.h"
#include "app/outside/CLumicor.h"
#include "app/pages/DeviceCaptureState.h"
#include "app/pages/FolderCheck.h"
#include "app/pages/MpegOptionsDialog.h"
#include "app/pages/SnapshotName.h"
#include "app/pages/SnapshotSettingsDialog.h"
#include "app/pages/VideoCapturePage.h"
#include "app/pages/WmvProfileDialog.h"
#include "app/shell/SettingsFile.h"
#include "app/shell/ShellApp.h"
#include "platform/os/FileDialog.h"
#include "platform/os/MessageBox.h"

namespace {

constexpr char kBroadcastingText[] = "Video is broadcasting now, please stop it first.";
constexpr char kNoticeText[] =
    "Before continue, make sure you have selected the proper video size in 'Video Format' option "
    "of this dialog panel. Click 'OK' to continue, or 'Cancel' to go back.";
constexpr char kCaptureFailedText[] =
    "Fail to capture video! Possible reason may be that video or audio compressor is invalid, or "
    "the output video file is in use now.";
constexpr char kSavedText[] = "Save successfully!";
constexpr char kSaveFailedText[] = "Fail to save the image!";

// OutputType values of the control.
constexpr short kOutputAvi = 0, kOutputWmv = 1, kOutputMpeg1 = 2, kOutputMpeg2 = 3;
constexpr short kAviFrameRate = 15;
constexpr short kJpegQuality = 90;

const char* ExtensionOf(RecordFormat format) {
    switch (format) {
    case RecordFormat::Avi: return ".avi";
    case RecordFormat::Wmv: return ".wmv";
    case RecordFormat::Mpeg: break;
    }
    return ".mpg";
}

const char* FilterOf(RecordFormat format) {
    switch (format) {
    case RecordFormat::Avi: return "AVI files|*.avi||";
    case RecordFormat::Wmv: return "WMV files|*.wmv||";
    case RecordFormat::Mpeg: break;
    }
    return "MPEG files|*.mpg||";
}

bool EndsWithNoCase(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i) {
        const auto a = static_cast<unsigned char>(text[text.size() - end.size() + i]);
        const auto b = static_cast<unsigned char>(end[i]);
        if (std::tolower(a) != std::tolower(b)) return false;
    }
    return true;
}

// A decimal number of seconds; 0 for a text that is none.
long LimitSeconds(const std::string& text) {
    char* end = nullptr;
    const long seconds = std::strtol(text.c_str(), &end, 10);
    return end != text.c_str() && seconds > 0 ? seconds : 0;
}

}  // namespace

std::string RecordingFileName(const std::string& name, RecordFormat format) {
    const std::string extension = ExtensionOf(format);
    return EndsWithNoCase(name, extension) ? name : name + extension;
}

RecordFormat RequestedFormat(const std::string& path) {
    if (EndsWithNoCase(path, "wmv")) return RecordFormat::Wmv;
    if (EndsWithNoCase(path, "avi")) return RecordFormat::Avi;
    return RecordFormat::Mpeg;
}

void VideoCapturePage::OnRecord(RecordFormat format) {
    if (DeviceState().IsBroadcasting) {
        MessageBox(kBroadcastingText, {}, MB_OK | MB_ICONERROR);
        return;
    }
    if (MessageBox(kNoticeText, "Important Notice", MB_OKCANCEL | MB_ICONQUESTION) != IDOK) return;
    bool confirmed = false;
    switch (format) {
    case RecordFormat::Avi: confirmed = DeviceAviDialog(DeviceAviOptions(), Lumicor(), this).DoModal(); break;
    case RecordFormat::Wmv:
        confirmed = WmvProfileDialog(DeviceWmvProfileChoice(), programFolder_, this).DoModal();
        break;
    case RecordFormat::Mpeg: confirmed = MpegOptionsDialog(DeviceMpegChoice(), this).DoModal(); break;
    }
    if (!confirmed) return;
    ApplySelections();

    FileDialogRequest request;
    request.kind = FileDialogKind::Save;
    request.title = "Please specify an output filename:";
    request.filter = FilterOf(format);
    std::optional<std::string> file = RunFileDialog(request);
    if (!file) return;
    if (!ConfirmOutputFile(*file, SystemFolderWarning::OkCancel, IsVistaOrLater != 0)) return;
    StartRecording(format, RecordingFileName(*file, format));
}

void VideoCapturePage::SetFormatProperties(RecordFormat format) const {
    const CLumicor& control = Lumicor();
    switch (format) {
    case RecordFormat::Avi: {
        const SessionAviOptions& avi = DeviceAviOptions();
        control.SetUseAudioCompressor(avi.useAudio ? TRUE : FALSE);
        control.SetUseVideoCompressor(avi.useVideo ? TRUE : FALSE);
        control.SetOutputType(kOutputAvi);
        control.SetFrameRate(kAviFrameRate);
        break;
    }
    case RecordFormat::Wmv:
        control.SetWMVCustomFileName(WmvProfilePath(DeviceWmvProfileChoice(), programFolder_));
        control.SetOutputType(kOutputWmv);
        break;
    case RecordFormat::Mpeg: {
        const MpegChoice& mpeg = DeviceMpegChoice();
        control.SetOutputType(mpeg.encoder == 1 ? kOutputMpeg2 : kOutputMpeg1);
        control.SetMPEGWidth(static_cast<short>(mpeg.width));
        control.SetMPEGHeight(static_cast<short>(mpeg.height));
        control.SetMPEGAudioBitrate(mpeg.audioBitrate * 1000L);
        control.SetMPEGAudioChannels(mpeg.channel == 1 ? 1 : 2);
        control.SetMPEGAudioSampleRate(mpeg.sampleRate);
        control.SetMPEGFrameRate(static_cast<short>(WholeFrameRate(mpeg.frameRate)));
        control.SetMPEGVideoBitrate(mpeg.videoBitrate * 1000L);
        break;
    }
    }
}

bool VideoCapturePage::StartRecording(RecordFormat format, const std::string& file) {
    const CLumicor& control = Lumicor();
    control.SetCaptureAudio(Check("Capture Audio")->isChecked() ? TRUE : FALSE);
    control.SetCaptureVideo(Check("Capture Video")->isChecked() ? TRUE : FALSE);
    control.SetShowPreview(Check("Show Preview when Capture")->isChecked() ? TRUE : FALSE);
    control.SetCaptureFileName(file);
    control.SetAspectRatio(TRUE);
    SetFormatProperties(format);
    control.SetCaptureMode(TRUE);
    // 0 is the only success: -2 (no file name) fails as -1 does.
    const short result = control.Start();
    if (result != 0) {
        std::fprintf(stderr, "orvanta: recording to %s did not start (%d)\n", file.c_str(), result);
        MessageBox(kCaptureFailedText, {}, MB_OK | MB_ICONERROR);
        // The failed start took the preview graph down with it.
        StartPreview();
        return false;
    }
    if (Check("Add Text/Image")->isChecked()) ApplyOverlaySettings(control, Overlay());
    SetRecordingButtons(true);
    DeviceState().IsDeviceCapturing = true;
    return true;
}

void VideoCapturePage::SetRecordingButtons(bool recording) {
    for (const char* text : {"Preview", "Capture", "Snapshot", "Size +/-"}) Button(text)->setEnabled(!recording);
    Button("Stop")->setEnabled(recording);
}

void VideoCapturePage::StopCapture(bool setEnded) {
    limitCounting_ = false;
    limitCount_ = 0;
    const CLumicor& control = Lumicor();
    control.SetShowPreview(TRUE);
    control.SetCaptureMode(FALSE);
    // The file is complete once Stop returns.
    control.Stop();
    SetRecordingButtons(false);
    DeviceState().IsDeviceCapturing = false;
    if (setEnded) DeviceState().CaptureEnded = true;
    StartPreview();
}

void VideoCapturePage::OnStop() { StopCapture(true); }
void VideoCapturePage::OnPause() { Lumicor().Pause(); }
void VideoCapturePage::OnResume() { Lumicor().Resume(); }

void VideoCapturePage::OnTimer() {
    DeviceCaptureState& state = DeviceState();
    bool startedNow = false;
    if (state.StartCaptureRequest) {
        state.StartCaptureRequest = false;
        if (state.IsBroadcasting) {
            MessageBox(kBroadcastingText, {}, MB_OK | MB_ICONERROR);
            state.CaptureEnded = true;
            return;
        }
        ApplySelections();
        const std::string path = state.RequestedOutputPath;
        if (StartRecording(RequestedFormat(path), path)) {
            limitCount_ = 0;
            limitCounting_ = LimitSeconds(state.CaptureLimitSeconds) > 0;
            startedNow = true;
        } else {
            state.CaptureEnded = true;
        }
    }
    if (state.StopCaptureRequest) {
        state.StopCaptureRequest = false;
        StopCapture(false);
    }
    if (state.OverlayChanged) {
        state.OverlayChanged = false;
        ApplyOverlay();
    }
    // A capture started in this tick has run no whole second yet.
    if (limitCounting_ && !startedNow) {
        ++limitCount_;
        if (limitCount_ >= LimitSeconds(state.CaptureLimitSeconds)) {
            StopCapture(true);
            RunAfterCaptureAction();
        }
    }
}

void VideoCapturePage::OnSnapshotSettings() {
    SnapshotSettingsDialog(Settings(), IsVistaOrLater != 0, this).DoModal();
}

void VideoCapturePage::OnSnapshot() {
    const DeviceSettings& settings = Settings();
    const bool jpeg = settings.snapshotFormat == "1";
    if (!snapshotConfirmed_) {
        const std::string text = std::string("Your current output format is ") + (jpeg ? "JPEG" : "BMP") +
                                 " and all the images will be saved to the path: " + settings.snapshotFolder +
                                 ". Please confirm these settings.";
        if (MessageBox(text, "Settings Confirmation", MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
            OnSnapshotSettings();
            return;
        }
        snapshotConfirmed_ = true;
    }
    const std::string path = TakeSnapshot();
    if (path.empty()) {
        MessageBox(kSaveFailedText, {}, MB_OK | MB_ICONERROR);
        return;
    }
    lastSnapshot_ = path;
    MessageBox(kSavedText, {}, MB_OK | MB_ICONINFORMATION);
}

std::string VideoCapturePage::TakeSnapshot() {
    const DeviceSettings& settings = Settings();
    const bool jpeg = settings.snapshotFormat == "1";
    const std::string& folder = settings.snapshotFolder;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        std::fprintf(stderr, "orvanta: cannot make the snapshot folder %s\n", folder.c_str());
        return {};
    }
    SYSTEMTIME utc;
    GetSystemTime(&utc);
    const std::string path = FreeSnapshotPath(folder, SnapshotBaseName(utc), jpeg ? ".jpg" : ".bmp");
    const BOOL saved = jpeg ? Lumicor().SnapShotJPEG(path, kJpegQuality) : Lumicor().SnapShot(path);
    // A save the control calls done must have left its file.
    if (!saved || !std::filesystem::is_regular_file(path, error) || std::filesystem::file_size(path, error) == 0) {
        std::fprintf(stderr, "orvanta: the snapshot %s was not saved\n", path.c_str());
        return {};
    }
    return path;
}
