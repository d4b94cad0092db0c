#pragma once
// The settings page of a capture device (CLSID_OrvantaDevicePropertyPage, the page the device
// filters' ISpecifyPropertyPages name): a slider per picture (proc-amp) and camera setting, with
// an "Auto" box where the device can do it by itself, and for sound cards an "Enabled" box and a
// level slider per input line. The page reads the device when it is given the filter and writes
// only what was changed, on Apply.
//
// The driver dialogs of IAMVfwCaptureDialogs use it too: the source and display dialogs show this
// page in a dialog of their own, the format dialog a list of the capture pin's formats.
#include <functional>
#include <string>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/devices/DeviceInterfaces.h"
#include "platform/devices/PropertyPageInterfaces.h"

#include <QPointer>

class QDialog;
class QWidget;

// One row of the page.
struct DeviceSetting {
    enum class Kind : uint8_t { ProcAmp, Camera, InputLine };
    Kind kind = Kind::ProcAmp;
    LONG property = 0;  // VideoProcAmp_* or CameraControl_*; for a line its position among the input pins
    std::string name;   // "Brightness", ..., or the line's pin name; also the slider's object name
    LONG min = 0, max = 0, step = 1, defaultValue = 0;
    LONG capsFlags = 0;     // *_Flags_Auto | *_Flags_Manual; lines: both
    LONG value = 0;         // lines: mix level in percent
    bool automatic = false; // lines: enabled
    bool changed = false;

    bool CanBeAutomatic() const { return (capsFlags & 0x1) != 0; }
    bool CanBeManual() const { return (capsFlags & 0x2) != 0; }
};

class DevicePropertyPage : public ComObject<IPropertyPage> {
public:
    ~DevicePropertyPage() override;

    HRESULT SetPageSite(IPropertyPageSite* site) override;
    HRESULT Activate(QWidget* parent) override;
    HRESULT Deactivate() override;
    HRESULT GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT Show(DWORD command) override;
    HRESULT IsPageDirty() override;
    HRESULT Apply() override;

    // What the page shows, in row order.
    const std::vector<DeviceSetting>& Settings() const { return settings_; }

private:
    void ReadDevice(IUnknown* device);
    void Change(size_t row, LONG value, bool automatic);
    HRESULT Write(const DeviceSetting& setting);

    ComPtr<IAMVideoProcAmp> procAmp_;
    ComPtr<IAMCameraControl> camera_;
    std::vector<ComPtr<IAMAudioInputMixer>> mixers_;  // by line position
    std::vector<DeviceSetting> settings_;
    ComPtr<IPropertyPageSite> site_;
    QPointer<QWidget> widget_;
    bool dirty_ = false;
};

HRESULT CreateDevicePropertyPage(REFIID riid, void** object);

// How the driver dialogs are run: tests replace it to work the dialog and close it (no dialog may
// block them). It returns the dialog's result; QDialog::Accepted applies it. An empty hook brings
// back the modal dialog. Returns the previous hook.
using DeviceDialogRun = std::function<int(QDialog& dialog)>;
DeviceDialogRun SetDeviceDialogRun(DeviceDialogRun run);

// The source/display dialog: the settings page of `device` with OK and Cancel, captioned `caption`.
// S_OK when shown (also when cancelled); the first failure of Apply when a write failed;
// E_NOINTERFACE for a device without settings.
HRESULT ShowDeviceSettingsDialog(IUnknown* device, const std::string& caption);
// The format dialog: the capabilities of the capture pin `streamConfig` belongs to; OK sets the
// chosen one with IAMStreamConfig::SetFormat (at its default size where it scales).
HRESULT ShowDeviceFormatDialog(IUnknown* streamConfig, const std::string& caption);
