#include "tools/capture/ScreenCommand.h"

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <memory>

#include "platform/base/Log.h"
#include "platform/com/ControlSite.h"
#include "platform/com/DispatchDriver.h"
#include "platform/com/ModuleLoader.h"
#include "platform/os/EventWait.h"

namespace fs = std::filesystem;

namespace {

constexpr CLSID CLSID_ScreenCaptureControl = MakeGuid("{C1E943ED-5A44-4688-944C-9B7C3C82513B}");

class ScreenSession {
public:
    ScreenSession(std::ostream& err) : err_(err) {}
    ~ScreenSession() {
        driver_.Attach({});
        if (site_) site_->Destroy();
    }

    bool Fail(const std::string& message) {
        err_ << "orvanta-capture: " << message << "\n";
        return false;
    }

    bool Register(const fs::path& folder) {
        for (const char* name : {"Pavisse.so", "Scrivel.so"}) {
            const fs::path file = folder / "system" / name;
            HMODULE module = nullptr;
            if (FAILED(LoadModule(file, module))) return Fail("cannot load " + file.string() + ": " + LastModuleError());
            auto registerServer = GetProcAddressAs<DllRegisterServerFn>(module, "DllRegisterServer");
            HRESULT hr = registerServer ? registerServer() : E_PROC_NOT_FOUND;
            if (FAILED(hr)) return Fail("registering " + file.string() + " failed (" + HResultText(hr) + ")");
        }
        return true;
    }

    bool Create() {
        container_ = std::make_unique<QWidget>();
        site_ = ControlSite::Create(container_.get());
        HRESULT hr = site_->CreateControl(CLSID_ScreenCaptureControl);
        if (SUCCEEDED(hr)) hr = site_->InitNew();
        if (SUCCEEDED(hr)) hr = site_->Activate();
        if (FAILED(hr)) return Fail("the screen capture control cannot be created (" + HResultText(hr) + ")");
        driver_.Attach(site_->Control());
        return true;
    }

    bool Put(const char* name, Variant value) {
        HRESULT hr = driver_.PutProperty(name, std::move(value));
        return SUCCEEDED(hr) || Fail(std::string("the control refused ") + name + " (" + HResultText(hr) + ")");
    }

    int64_t Call(const char* name, std::vector<Variant> args = {}) {
        Variant result;
        if (FAILED(driver_.Call(name, std::move(args), &result))) return -1;
        int64_t n = 0;
        if (result.GetInteger(&n)) return n;
        return 0;
    }

    int64_t Integer(const char* name) {
        Variant value;
        int64_t n = 0;
        if (FAILED(driver_.GetProperty(name, &value)) || !value.GetInteger(&n)) return 0;
        return n;
    }

    std::string Text(const char* name) {
        Variant value;
        if (FAILED(driver_.GetProperty(name, &value)) || value.Type() != VT_BSTR) return {};
        return value.Bstr();
    }

    // The index of `name` in a list of the control, -1 when it holds none.
    int16_t Find(const char* list, const std::string& name) {
        Variant object;
        if (FAILED(driver_.GetProperty(list, &object)) || object.Type() != VT_DISPATCH) return -1;
        DispatchDriver items(ComPtr<IDispatch>(object.Dispatch()));
        Variant index;
        if (FAILED(items.Call("Find", {Variant(name)}, &index))) return -1;
        int64_t n = -1;
        index.GetInteger(&n);
        return static_cast<int16_t>(n);
    }

    bool SetRect(const ScreenRect& r) {
        return Call("SetCaptureRect", {Variant(static_cast<int16_t>(r.x)), Variant(static_cast<int16_t>(r.y)),
                                       Variant(static_cast<int16_t>(r.x + r.width)),
                                       Variant(static_cast<int16_t>(r.y + r.height))}) >= 0;
    }

private:
    std::ostream& err_;
    std::unique_ptr<QWidget> container_;
    ComPtr<ControlSite> site_;
    DispatchDriver driver_;
};

int EvenUp(int value) { return value % 2 ? value + 1 : value; }

}  // namespace

int RunScreenCommand(const ScreenRequest& request, std::ostream& out, std::ostream& err,
                     const fs::path& programFolder) {
    ScreenSession s(err);
    if (!s.Register(programFolder) || !s.Create()) return 1;
    const int screenWidth = static_cast<int>(s.Call("GetScreenWidth"));
    const int screenHeight = static_cast<int>(s.Call("GetScreenHeight"));
    if (screenWidth <= 0 || screenHeight <= 0) {
        s.Fail(s.Text("LastError").empty() ? "the screen size cannot be read" : s.Text("LastError"));
        return 1;
    }
    ScreenRect rect = request.rect.value_or(ScreenRect{0, 0, screenWidth, screenHeight});
    // As the page does: every edge raised to the next even number.
    rect = ScreenRect{EvenUp(rect.x), EvenUp(rect.y), EvenUp(rect.width), EvenUp(rect.height)};

    bool ok = s.Put("OutputKind", Variant(static_cast<int32_t>(request.kind)));
    const auto width = static_cast<int16_t>(rect.width), height = static_cast<int16_t>(rect.height);
    if (request.kind == 0) {
        const int16_t video = s.Find("VideoCompressors", "Motion JPEG");
        const int16_t audio = s.Find("AudioCompressors", "MPEG Layer-3");
        ok = ok && s.Put("UseVideoCompressor", Variant(video >= 0)) && s.Put("VideoCompressor", Variant(video));
        ok = ok && s.Put("UseAudioCompressor", Variant(audio >= 0)) && s.Put("AudioCompressor", Variant(audio));
        ok = ok && s.Put("MP3Bitrate", Variant(int16_t{128})) && s.Put("MP3SampleRate", Variant(int32_t{44100}));
    } else if (request.kind == 1) {
        ok = ok && s.Put("WMVProfile", Variant(int16_t{0})) && s.Put("WMVProfileFile", Variant(""));
    } else if (request.kind == 3) {
        ok = ok && s.Put("FLVWidth", Variant(width)) && s.Put("FLVHeight", Variant(height)) &&
             s.Put("FLVVideoBitrate", Variant(int32_t{1000000})) && s.Put("FLVAudioBitrate", Variant(int32_t{64000})) &&
             s.Put("FLVAudioChannels", Variant(int32_t{2})) && s.Put("FLVAudioSampleRate", Variant(int32_t{44100}));
    } else {
        ok = ok && s.Put("SWFWidth", Variant(width)) && s.Put("SWFHeight", Variant(height)) &&
             s.Put("SWFVideoBitrate", Variant(int32_t{1000000})) && s.Put("SWFAudioBitrate", Variant(int32_t{64000})) &&
             s.Put("SWFAudioChannels", Variant(int32_t{2})) && s.Put("SWFAudioSampleRate", Variant(int32_t{44100}));
    }
    ok = ok && s.Put("CaptureWidth", Variant(width)) && s.Put("CaptureHeight", Variant(height)) && s.SetRect(rect) &&
         s.Put("FrameRate", Variant(static_cast<int16_t>(request.fps))) && s.Put("CaptureCursor", Variant(request.cursor)) &&
         s.Put("RecordAudio", Variant(request.audio)) && s.Put("AudioDevice", Variant(int16_t{0})) &&
         s.Put("AudioInputPin", Variant(int16_t{0})) && s.Put("Volume", Variant(1.0)) &&
         s.Put("FileName", Variant(fs::absolute(request.file).string()));
    if (!ok) return 1;
    if (s.Call("Start") != 0) {
        s.Fail("the recording did not start: " + s.Text("LastError"));
        return 1;
    }
    out << "recording the screen (" << rect.x << "," << rect.y << " " << rect.width << "x" << rect.height << ", "
        << request.fps << " fps) to " << request.file << std::endl;
    const int totalMs = static_cast<int>(request.seconds * 1000);
    if (request.zoomAfter && *request.zoomAfter * 1000 < totalMs) {
        const int zoomMs = static_cast<int>(*request.zoomAfter * 1000);
        RunEventsFor(zoomMs);
        s.SetRect(request.zoomRect);
        out << "zoomed to " << request.zoomRect.x << "," << request.zoomRect.y << " " << request.zoomRect.width << "x"
            << request.zoomRect.height << std::endl;
        RunEventsFor(totalMs - zoomMs);
    } else {
        RunEventsFor(totalMs);
    }
    const int64_t dropped = s.Integer("DroppedFrames");
    s.Call("Stop");
    out << "recorded " << request.seconds << " s to " << request.file << " (" << dropped << " frames dropped)"
        << std::endl;
    return 0;
}
