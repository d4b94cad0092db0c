#include "control/LumicorCtrl.h"

#include <dlfcn.h>

#include <filesystem>
#include <new>
#include <span>

#include "control/Adjustment.h"
#include "control/LumicorIds.h"
#include "engine/HelperBlocks.h"
#include "platform/contracts/PublishFailureReport.h"

namespace {

// The folder of the module file this code was loaded from, with a trailing "/".
std::string ModuleFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) == 0 || !info.dli_fname) return {};
    std::error_code error;
    std::filesystem::path file = std::filesystem::canonical(info.dli_fname, error);
    if (error) file = std::filesystem::absolute(info.dli_fname, error);
    std::string folder = file.parent_path().string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

constexpr UINT_PTR kAttachTimer = 1;

}  // namespace

HRESULT CreateLumicorCtrl(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    try {
        ComPtr<CLumicorCtrl> control = MakeCom<CLumicorCtrl>();
        return control->QueryInterface(riid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

CLumicorCtrl::CLumicorCtrl()
    : devices_(MakeCom<CDevices>()),
      videoFormats_(MakeCom<CVideoFormats>()),
      videoCompressors_(MakeCom<CVideoCompressors>()),
      audioDevices_(MakeCom<CAudioDevices>()),
      audioCompressors_(MakeCom<CAudioCompressors>()),
      audioInputPins_(MakeCom<CAudioInputPins>()),
      videoInputs_(MakeCom<CVideoInputs>()),
      tvChannels_(MakeCom<CTVChannels>()),
      wmvProfiles_(MakeCom<CWMVProfiles>()) {
    for (size_t i = 0; i < kAdjustmentCount; ++i)
        adjustments_[i] = CreateAdjustment(static_cast<AdjustmentKind>(i), &session_);
}

CLumicorCtrl::~CLumicorCtrl() {
    session_.QuitHelper();
    session_.StopSession();
    // Objects a container still holds must not reach the session once it is gone.
    for (const ComPtr<IDispatch>& adjustment : adjustments_) DetachAdjustment(adjustment.Get());
    DestroyControlWindow();
    session_.ownerControl = nullptr;
    session_.audioInputPinEntries = nullptr;
}

CLSID CLumicorCtrl::ControlClsid() const {
    return CLSID_Lumicor;
}

IID CLumicorCtrl::EventsIid() const {
    return DIID__DLumicorEvents;
}

DWORD CLumicorCtrl::MiscStatus() const {
    return kLumicorMiscStatus;
}

std::vector<CLSID> CLumicorCtrl::PropertyPageClasses() const {
    return {CLSID_LumicorPropPage};
}

void CLumicorCtrl::SyncAll() {
    devices_->Sync();
    videoFormats_->Sync();
    videoCompressors_->Sync();
    audioDevices_->Sync();
    audioCompressors_->Sync();
    audioInputPins_->Sync();
    videoInputs_->Sync();
    tvChannels_->Sync();
    wmvProfiles_->Sync();
}

void CLumicorCtrl::OnCreate() {
    controlFolder_ = ModuleFolder();
    textFontName_ = "Arial";
    videoCompressors_->SetOwnerWindow(ContainerWindow());
    session_.ownerControl = this;
    session_.CreateSessionWindow(ControlWidget());
    session_.moduleFolder = controlFolder_;
    // The helper's client reports come to the control's own message window.
    session_.ownerWindow = MessageWindowHandle();
    session_.mainWindow = HWND_NONE;
    session_.audioInputPinEntries = &audioInputPins_->Levels();
    session_.EnumerateDevices(devices_->Entries(), videoFormats_->Entries(),
                              videoCompressors_->Entries(), audioDevices_->Entries(),
                              audioCompressors_->Entries(), videoInputs_->Entries(),
                              audioInputPins_->Entries(), audioInputPin_);
    SyncAll();
    session_.EnumerateWmvProfiles(wmvProfiles_->Entries());
    wmvProfiles_->Sync();
}

void CLumicorCtrl::OnSize(int width, int height) {
    if (SessionWindow* window = session_.Window()) {
        window->setGeometry(0, 0, width, height);
        window->lower();
    }
    session_.captureDefaultDest = true;
}

void CLumicorCtrl::OnDestroy() {
    KillControlTimer(kAttachTimer);
    // The video window lives in the session's window, a child of the one going away.
    session_.StopSession();
    session_.ownerWindow = HWND_NONE;
}

void CLumicorCtrl::OnTimer(UINT_PTR id) {
    if (id != kAttachTimer) return;
    KillControlTimer(kAttachTimer);
    session_.AttachVideoWindow();
}

bool CLumicorCtrl::OnWindowMessage(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
    if (message != WM_COPYDATA || !lParam) return false;
    const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    if (!HandleCopyData(*data)) return false;
    *result = TRUE;
    return true;
}

bool CLumicorCtrl::HandleCopyData(const COPYDATASTRUCT& data) {
    if (!data.lpData && data.cbData) return false;
    std::span<const uint8_t> bytes(static_cast<const uint8_t*>(data.lpData), data.cbData);
    if (data.dwData == kHelperCopyDataTag) {
        // The helper could not publish to the streaming server; the broadcast itself goes on.
        if (std::optional<PublishFailure> failure = ParsePublishFailureReport(bytes)) {
            FireCaptureError(failure->code, failure->text);
            return true;
        }
    }
    std::optional<ClientReport> report = ParseClientReport(data.dwData, bytes);
    if (!report) return false;
    // An empty text keeps the list the previous report gave.
    if (!report->text.empty()) clientAddresses_ = std::move(report->addresses);
    FireEvent(kDispidClientConnected, static_cast<int16_t>(report->count), report->text);
    return true;
}

std::string CLumicorCtrl::GetConnectedIP(int16_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= clientAddresses_.size()) return {};
    return clientAddresses_[static_cast<size_t>(index)];
}

void CLumicorCtrl::FireClick() {
    FireEvent(DISPID_CLICK);
}

void CLumicorCtrl::FireDblClick() {
    FireEvent(DISPID_DBLCLICK);
}

void CLumicorCtrl::FireMouseMove(int16_t button, int16_t shift, int32_t x, int32_t y) {
    FireEvent(DISPID_MOUSEMOVE, button, shift, x, y);
}

void CLumicorCtrl::FireCapturing(int32_t seconds, int32_t dropped) {
    FireEvent(kDispidCapturing, seconds, dropped);
}

void CLumicorCtrl::FireCaptureError(int32_t code, const std::string& text) {
    FireEvent(kDispidCaptureError, code, text);
}

const DispatchTable& CLumicorCtrl::GetEventsTable() {
    // Only a description: events go out through the connection point, nobody invokes these.
    static const DispatchTable table = [] {
        DispatchMap<CLumicorCtrl> map(DIID__DLumicorEvents, "_DLumicorEvents",
                                      "Event interface for Lumicor Control");
        map.Method(kDispidCapturing, "Capturing", [](CLumicorCtrl&, int32_t, int32_t) {})
            .Params({"lFrame", "lDropFrame"});
        map.Method(kDispidClientConnected, "ClientConnected",
                   [](CLumicorCtrl&, int16_t, const std::string&) {})
            .Params({"iNumClient", "strClientIP"});
        map.Method(kDispidCaptureError, "CaptureError", [](CLumicorCtrl&, int32_t, const std::string&) {})
            .Params({"code", "text"});
        map.Method(DISPID_CLICK, "Click", [](CLumicorCtrl&) {});
        map.Method(DISPID_DBLCLICK, "DblClick", [](CLumicorCtrl&) {});
        map.Method(DISPID_MOUSEMOVE, "MouseMove", [](CLumicorCtrl&, int16_t, int16_t, int32_t, int32_t) {})
            .Params({"Button", "Shift", {"x", TypeDesc(VT_I4, "OLE_XPOS_PIXELS")},
                     {"y", TypeDesc(VT_I4, "OLE_YPOS_PIXELS")}});
        return map.Build();
    }();
    return table;
}

InterfaceDesc LumicorDispatchDescription() {
    return CLumicorCtrl::GetDispatchTable().Describe();
}

InterfaceDesc LumicorEventsDescription() {
    return CLumicorCtrl::GetEventsTable().Describe();
}
