#include "platform/devices/DevicePropertyPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <mutex>
#include <new>

#include "platform/devices/VideoSubtypes.h"
#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/FilterInterfaces.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Uuids.h"
#include "platform/os/ModalDialog.h"

namespace {

constexpr const char* kProcAmpNames[] = {"Brightness", "Contrast",     "Hue",  "Saturation",
                                         "Sharpness",  "Gamma",        "ColorEnable",
                                         "WhiteBalance", "BacklightCompensation", "Gain"};
constexpr const char* kCameraNames[] = {"Pan", "Tilt", "Roll", "Zoom", "Exposure", "Iris", "Focus"};
constexpr LONG kFlagAuto = 0x1;
constexpr LONG kFlagManual = 0x2;

template <class Controls, size_t N>
void ReadRanges(Controls* controls, DeviceSetting::Kind kind, const char* const (&names)[N],
                std::vector<DeviceSetting>& settings) {
    if (!controls) return;
    for (size_t i = 0; i < N; ++i) {
        DeviceSetting s;
        s.kind = kind;
        s.property = static_cast<LONG>(i);
        s.name = names[i];
        if (controls->GetRange(s.property, &s.min, &s.max, &s.step, &s.defaultValue, &s.capsFlags) != S_OK) continue;
        LONG flags = 0;
        if (FAILED(controls->Get(s.property, &s.value, &flags))) s.value = s.defaultValue;
        s.automatic = (flags & kFlagAuto) != 0;
        if (s.step <= 0) s.step = 1;
        settings.push_back(std::move(s));
    }
}

std::mutex& RunLock() {
    static std::mutex lock;
    return lock;
}
DeviceDialogRun& RunHook() {
    static DeviceDialogRun run;
    return run;
}

int RunDialog(QDialog& dialog) {
    DeviceDialogRun run;
    {
        std::lock_guard lock(RunLock());
        run = RunHook();
    }
    if (run) return run(dialog);
    return RunModalDialog(dialog);
}

// A dialog with OK and Cancel under `content`.
QDialogButtonBox* AddButtons(QDialog& dialog, QVBoxLayout* layout) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return buttons;
}

std::string FormatName(const AM_MEDIA_TYPE& type) {
    const VIDEOINFOHEADER* vih = type.VideoInfo();
    auto info = VideoSubtypeByGuid(type.subtype);
    std::string name = info ? std::string(info->name) : "Unknown";
    if (vih) name += " " + std::to_string(vih->bmiHeader.biWidth) + "x" + std::to_string(std::labs(vih->bmiHeader.biHeight));
    return name;
}

}  // namespace

DevicePropertyPage::~DevicePropertyPage() { Deactivate(); }

HRESULT DevicePropertyPage::SetPageSite(IPropertyPageSite* site) {
    site_ = ComPtr<IPropertyPageSite>(site);
    return S_OK;
}

void DevicePropertyPage::ReadDevice(IUnknown* device) {
    procAmp_ = QueryAs<IAMVideoProcAmp>(device);
    camera_ = QueryAs<IAMCameraControl>(device);
    ReadRanges(procAmp_.Get(), DeviceSetting::Kind::ProcAmp, kProcAmpNames, settings_);
    ReadRanges(camera_.Get(), DeviceSetting::Kind::Camera, kCameraNames, settings_);

    // Sound cards: one mixer per input pin.
    ComPtr<IBaseFilter> filter = QueryAs<IBaseFilter>(device);
    ComPtr<IEnumPins> pins;
    if (!filter || FAILED(filter->EnumPins(pins.ReleaseAndGetAddressOf()))) return;
    ComPtr<IPin> pin;
    LONG position = 0;
    while (pins->Next(1, pin.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
        PIN_DIRECTION direction = PINDIR_OUTPUT;
        if (FAILED(pin->QueryDirection(&direction)) || direction != PINDIR_INPUT) continue;
        LONG here = position++;
        ComPtr<IAMAudioInputMixer> mixer = QueryAs<IAMAudioInputMixer>(pin.Get());
        if (!mixer) continue;
        PIN_INFO info;
        pin->QueryPinInfo(&info);
        DeviceSetting s;
        s.kind = DeviceSetting::Kind::InputLine;
        s.property = here;
        s.name = info.achName;
        s.min = 0;
        s.max = 100;
        s.defaultValue = 100;
        s.capsFlags = kFlagAuto | kFlagManual;
        BOOL enabled = FALSE;
        double level = 1.0;
        mixer->get_Enable(&enabled);
        mixer->get_MixLevel(&level);
        s.automatic = enabled != FALSE;
        s.value = static_cast<LONG>(std::lround(std::clamp(level, 0.0, 1.0) * 100.0));
        settings_.push_back(std::move(s));
        mixers_.resize(static_cast<size_t>(here) + 1);
        mixers_[static_cast<size_t>(here)] = mixer;
    }
}

HRESULT DevicePropertyPage::SetObjects(ULONG count, IUnknown** objects) {
    if (widget_) return E_UNEXPECTED;  // the frame sets objects before it activates the page
    procAmp_.Reset();
    camera_.Reset();
    mixers_.clear();
    settings_.clear();
    dirty_ = false;
    if (count == 0) return S_OK;
    if (!objects || !objects[0]) return E_POINTER;
    // One device at a time: the frame shows a device's own pages.
    ReadDevice(objects[0]);
    if (settings_.empty()) {
        procAmp_.Reset();
        camera_.Reset();
        mixers_.clear();
        return E_NOINTERFACE;
    }
    return S_OK;
}

HRESULT DevicePropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    bool lines = !mixers_.empty();
    info->title = lines ? "Audio Inputs" : "Device Settings";
    info->width = 420;
    info->height = 40 + 34 * static_cast<int>(settings_.size());
    return S_OK;
}

void DevicePropertyPage::Change(size_t row, LONG value, bool automatic) {
    DeviceSetting& s = settings_[row];
    if (s.value == value && s.automatic == automatic) return;
    s.value = value;
    s.automatic = automatic;
    s.changed = true;
    dirty_ = true;
    if (site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
}

HRESULT DevicePropertyPage::Activate(QWidget* parent) {
    if (!parent) return E_POINTER;
    if (widget_) return E_UNEXPECTED;
    if (settings_.empty()) return E_UNEXPECTED;
    auto* page = new QWidget(parent);
    page->setObjectName("DevicePropertyPage");
    auto* form = new QFormLayout(page);
    for (size_t row = 0; row < settings_.size(); ++row) {
        const DeviceSetting& s = settings_[row];
        bool line = s.kind == DeviceSetting::Kind::InputLine;
        auto* box = new QWidget(page);
        auto* layout = new QHBoxLayout(box);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* slider = new QSlider(Qt::Horizontal, box);
        slider->setObjectName(QString::fromStdString(s.name));
        slider->setRange(s.min, s.max);
        slider->setSingleStep(s.step);
        slider->setPageStep(s.step);
        slider->setValue(s.value);
        auto* number = new QSpinBox(box);
        number->setObjectName(QString::fromStdString(s.name + ".value"));
        number->setRange(s.min, s.max);
        number->setSingleStep(s.step);
        number->setValue(s.value);
        layout->addWidget(slider, 1);
        layout->addWidget(number);
        QCheckBox* mode = nullptr;
        if (line || s.CanBeAutomatic()) {
            mode = new QCheckBox(line ? QObject::tr("Enabled") : QObject::tr("Auto"), box);
            mode->setObjectName(QString::fromStdString(s.name + (line ? ".enabled" : ".auto")));
            mode->setChecked(s.automatic);
            // A setting the device only does by itself cannot be switched to manual.
            mode->setEnabled(line || s.CanBeManual());
            layout->addWidget(mode);
        }
        // Under automatic control the value is the device's, not the user's.
        bool editable = line || !s.automatic;
        slider->setEnabled(editable);
        number->setEnabled(editable);
        QObject::connect(slider, &QSlider::valueChanged, number, &QSpinBox::setValue);
        QObject::connect(number, qOverload<int>(&QSpinBox::valueChanged), slider, &QSlider::setValue);
        QObject::connect(slider, &QSlider::valueChanged, page, [this, row](int value) {
            Change(row, value, settings_[row].automatic);
        });
        if (mode) {
            QObject::connect(mode, &QCheckBox::toggled, page, [this, row, line, slider, number](bool on) {
                Change(row, settings_[row].value, on);
                if (!line) {
                    slider->setEnabled(!on);
                    number->setEnabled(!on);
                }
            });
        }
        form->addRow(QString::fromStdString(s.name), box);
    }
    widget_ = page;
    page->show();
    return S_OK;
}

HRESULT DevicePropertyPage::Deactivate() {
    if (widget_) delete widget_.data();
    widget_.clear();
    return S_OK;
}

HRESULT DevicePropertyPage::Show(DWORD command) {
    if (!widget_) return E_UNEXPECTED;
    widget_->setVisible(command != 0);
    return S_OK;
}

HRESULT DevicePropertyPage::IsPageDirty() { return dirty_ ? S_OK : S_FALSE; }

HRESULT DevicePropertyPage::Write(const DeviceSetting& s) {
    switch (s.kind) {
    case DeviceSetting::Kind::ProcAmp:
        return procAmp_->Set(s.property, s.value, s.automatic ? kFlagAuto : kFlagManual);
    case DeviceSetting::Kind::Camera:
        return camera_->Set(s.property, s.value, s.automatic ? kFlagAuto : kFlagManual);
    case DeviceSetting::Kind::InputLine: {
        IAMAudioInputMixer* mixer = mixers_[static_cast<size_t>(s.property)].Get();
        HRESULT hr = mixer->put_Enable(s.automatic ? TRUE : FALSE);
        HRESULT level = mixer->put_MixLevel(s.value / 100.0);
        return FAILED(hr) ? hr : level;
    }
    }
    return E_UNEXPECTED;
}

HRESULT DevicePropertyPage::Apply() {
    // Every changed row is tried; one the device refused stays changed, and the page dirty.
    HRESULT result = S_OK;
    bool pending = false;
    for (DeviceSetting& s : settings_) {
        if (!s.changed) continue;
        HRESULT hr = Write(s);
        if (FAILED(hr)) {
            if (SUCCEEDED(result)) result = hr;
            pending = true;
            continue;
        }
        s.changed = false;
    }
    dirty_ = pending;
    if (!pending && site_) site_->OnStatusChange(PROPPAGESTATUS_CLEAN);
    return result;
}

HRESULT CreateDevicePropertyPage(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    try {
        return MakeCom<DevicePropertyPage>()->QueryInterface(riid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

DeviceDialogRun SetDeviceDialogRun(DeviceDialogRun run) {
    std::lock_guard lock(RunLock());
    DeviceDialogRun previous = std::move(RunHook());
    RunHook() = std::move(run);
    return previous;
}

HRESULT ShowDeviceSettingsDialog(IUnknown* device, const std::string& caption) {
    if (!device) return E_POINTER;
    if (!qApp) return E_UNEXPECTED;
    ComPtr<DevicePropertyPage> page = MakeCom<DevicePropertyPage>();
    IUnknown* objects[] = {device};
    HRESULT hr = page->SetObjects(1, objects);
    if (FAILED(hr)) return hr;
    QDialog dialog;
    dialog.setWindowTitle(QString::fromStdString(caption));
    auto* layout = new QVBoxLayout(&dialog);
    hr = page->Activate(&dialog);
    if (FAILED(hr)) return hr;
    layout->addWidget(dialog.findChild<QWidget*>("DevicePropertyPage"));
    AddButtons(dialog, layout);
    int result = RunDialog(dialog);
    hr = result == QDialog::Accepted ? page->Apply() : S_OK;
    page->Deactivate();
    page->SetObjects(0, nullptr);
    return hr;
}

HRESULT ShowDeviceFormatDialog(IUnknown* streamConfig, const std::string& caption) {
    ComPtr<IAMStreamConfig> config = QueryAs<IAMStreamConfig>(streamConfig);
    if (!config) return E_NOINTERFACE;
    if (!qApp) return E_UNEXPECTED;
    int count = 0, size = 0;
    HRESULT hr = config->GetNumberOfCapabilities(&count, &size);
    if (FAILED(hr)) return hr;
    if (size < static_cast<int>(sizeof(VIDEO_STREAM_CONFIG_CAPS))) return E_UNEXPECTED;
    std::vector<AM_MEDIA_TYPE> types;
    std::vector<BYTE> caps(static_cast<size_t>(size));
    for (int i = 0; i < count; ++i) {
        AM_MEDIA_TYPE type;
        if (config->GetStreamCaps(i, &type, caps.data()) == S_OK) types.push_back(std::move(type));
    }
    if (types.empty()) return E_FAIL;
    AM_MEDIA_TYPE current;
    config->GetFormat(&current);

    QDialog dialog;
    dialog.setWindowTitle(QString::fromStdString(caption));
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QComboBox(&dialog);
    list->setObjectName("Formats");
    int selected = 0;
    for (size_t i = 0; i < types.size(); ++i) {
        list->addItem(QString::fromStdString(FormatName(types[i])));
        if (types[i].subtype == current.subtype && FormatName(types[i]) == FormatName(current)) selected = static_cast<int>(i);
    }
    list->setCurrentIndex(selected);
    layout->addWidget(list);
    AddButtons(dialog, layout);
    if (RunDialog(dialog) != QDialog::Accepted) return S_OK;
    int chosen = list->currentIndex();
    if (chosen < 0 || chosen >= static_cast<int>(types.size())) return S_OK;
    return config->SetFormat(&types[static_cast<size_t>(chosen)]);
}
