#include "engine/VideoFormatPages.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPointer>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/FormatNames.h"
#include "platform/os/ModalDialog.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/ComObject.h"
#include "platform/devices/CaptureDevices.h"
#include "platform/devices/DevicePropertyPage.h"
#include "platform/devices/PropertyPageInterfaces.h"
#include "platform/dshow/CaptureInterfaces.h"
#include "platform/dshow/MediaType.h"

namespace {

PropertyFrameShow& ShowHook() {
    static PropertyFrameShow hook;
    return hook;
}

struct CapabilityInfo {
    AM_MEDIA_TYPE type;
    VIDEO_STREAM_CONFIG_CAPS caps;
};

// The format page of a stream configuration: one capability and, where it scales, the size.
class StreamFormatPage final : public ComObject<IPropertyPage> {
public:
    HRESULT SetPageSite(IPropertyPageSite* site) override {
        site_ = site;
        return S_OK;
    }
    HRESULT Activate(QWidget* parent) override {
        if (!parent) return E_POINTER;
        if (widget_) return E_UNEXPECTED;
        if (!config_) return E_UNEXPECTED;
        auto* page = new QWidget(parent);
        page->setObjectName("StreamFormatPage");
        auto* form = new QFormLayout(page);
        list_ = new QComboBox;
        list_->setObjectName("formatList");
        width_ = new QSpinBox;
        width_->setObjectName("formatWidth");
        height_ = new QSpinBox;
        height_->setObjectName("formatHeight");
        form->addRow("Format", list_);
        form->addRow("Width", width_);
        form->addRow("Height", height_);
        for (const CapabilityInfo& info : caps_) {
            const BITMAPINFOHEADER& header = info.type.VideoInfo()->bmiHeader;
            const bool uncompressed = header.biCompression == BI_RGB || header.biCompression == BI_BITFIELDS;
            std::string name = uncompressed ? FixedSubtypeName(info.type.subtype) : FourCCName(header.biCompression);
            name += " " + SizeText(info.caps.MaxOutputSize.cx, info.caps.MaxOutputSize.cy);
            list_->addItem(QString::fromStdString(name));
        }
        list_->setCurrentIndex(caps_.empty() ? -1 : CurrentCapability());
        ShowRange(list_->currentIndex(), true);
        QObject::connect(list_, &QComboBox::currentIndexChanged, page, [this](int index) {
            ShowRange(index, false);
            MarkDirty();
        });
        auto changed = [this] { MarkDirty(); };
        QObject::connect(width_, &QSpinBox::valueChanged, page, changed);
        QObject::connect(height_, &QSpinBox::valueChanged, page, changed);
        dirty_ = false;
        widget_ = page;
        return S_OK;
    }
    HRESULT Deactivate() override {
        delete widget_.data();
        widget_ = nullptr;
        list_ = nullptr;
        width_ = height_ = nullptr;
        return S_OK;
    }
    HRESULT GetPageInfo(PROPPAGEINFO* info) override {
        if (!info) return E_POINTER;
        info->title = "Stream Format";
        info->width = 320;
        info->height = 160;
        return S_OK;
    }
    HRESULT SetObjects(ULONG count, IUnknown** objects) override {
        config_ = nullptr;
        caps_.clear();
        if (count == 0) return S_OK;
        if (!objects || !objects[0]) return E_POINTER;
        ComPtr<IAMStreamConfig> config = QueryAs<IAMStreamConfig>(objects[0]);
        if (!config) return E_NOINTERFACE;
        int number = 0, size = 0;
        if (FAILED(config->GetNumberOfCapabilities(&number, &size))) number = 0;
        std::vector<BYTE> block(std::max<size_t>(sizeof(VIDEO_STREAM_CONFIG_CAPS), size > 0 ? size : 0));
        for (int i = 0; i < number; ++i) {
            CapabilityInfo info;
            std::fill(block.begin(), block.end(), BYTE{0});
            if (config->GetStreamCaps(i, &info.type, block.data()) != S_OK || !info.type.VideoInfo()) continue;
            std::memcpy(&info.caps, block.data(), sizeof info.caps);
            caps_.push_back(std::move(info));
        }
        config_ = config;
        return S_OK;
    }
    HRESULT Show(DWORD command) override {
        if (widget_) widget_->setVisible(command != 0);
        return S_OK;
    }
    HRESULT IsPageDirty() override { return dirty_ ? S_OK : S_FALSE; }
    HRESULT Apply() override {
        if (!dirty_ || !widget_) return S_OK;
        const int index = list_->currentIndex();
        if (index < 0 || index >= static_cast<int>(caps_.size())) return S_OK;
        AM_MEDIA_TYPE type = caps_[index].type;
        VIDEOINFOHEADER* vih = type.VideoInfo();
        vih->bmiHeader.biWidth = width_->value();
        vih->bmiHeader.biHeight = height_->value();
        if (DWORD image = DibImageSize(vih->bmiHeader)) {
            vih->bmiHeader.biSizeImage = image;
            type.lSampleSize = image;
        }
        HRESULT hr = config_->SetFormat(&type);
        if (SUCCEEDED(hr)) dirty_ = false;
        return hr;
    }

private:
    void MarkDirty() {
        dirty_ = true;
        if (site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
    }

    // The capability the current format belongs to (same subtype, size within its range).
    int CurrentCapability() const {
        AM_MEDIA_TYPE current;
        if (FAILED(config_->GetFormat(&current)) || !current.VideoInfo()) return 0;
        const BITMAPINFOHEADER& h = current.VideoInfo()->bmiHeader;
        for (size_t i = 0; i < caps_.size(); ++i) {
            const VIDEO_STREAM_CONFIG_CAPS& c = caps_[i].caps;
            if (caps_[i].type.subtype == current.subtype && h.biWidth >= c.MinOutputSize.cx &&
                h.biWidth <= c.MaxOutputSize.cx && std::labs(h.biHeight) >= c.MinOutputSize.cy &&
                std::labs(h.biHeight) <= c.MaxOutputSize.cy)
                return static_cast<int>(i);
        }
        return 0;
    }

    // Limits the size boxes to the capability; the current format's size when it is the one
    // selected at the start, else the capability's default.
    void ShowRange(int index, bool fromCurrent) {
        if (index < 0 || index >= static_cast<int>(caps_.size())) {
            width_->setEnabled(false);
            height_->setEnabled(false);
            return;
        }
        const VIDEO_STREAM_CONFIG_CAPS& c = caps_[index].caps;
        BITMAPINFOHEADER start = caps_[index].type.VideoInfo()->bmiHeader;
        AM_MEDIA_TYPE current;
        if (fromCurrent && SUCCEEDED(config_->GetFormat(&current)) && current.VideoInfo())
            start = current.VideoInfo()->bmiHeader;
        const QSignalBlocker blockWidth(width_), blockHeight(height_);
        width_->setRange(c.MinOutputSize.cx, std::max(c.MinOutputSize.cx, c.MaxOutputSize.cx));
        height_->setRange(c.MinOutputSize.cy, std::max(c.MinOutputSize.cy, c.MaxOutputSize.cy));
        width_->setSingleStep(std::max(1, c.OutputGranularityX));
        height_->setSingleStep(std::max(1, c.OutputGranularityY));
        width_->setValue(start.biWidth);
        height_->setValue(static_cast<int>(std::labs(start.biHeight)));
        width_->setEnabled(c.MinOutputSize.cx != c.MaxOutputSize.cx);
        height_->setEnabled(c.MinOutputSize.cy != c.MaxOutputSize.cy);
    }

    ComPtr<IAMStreamConfig> config_;
    ComPtr<IPropertyPageSite> site_;
    std::vector<CapabilityInfo> caps_;
    QPointer<QWidget> widget_;
    QComboBox* list_ = nullptr;
    QSpinBox* width_ = nullptr;
    QSpinBox* height_ = nullptr;
    bool dirty_ = false;
};

// The page object of a page CLSID: the platform's own pages directly, any other through the
// class registry.
ComPtr<IPropertyPage> CreatePage(const Guid& clsid) {
    ComPtr<IPropertyPage> page;
    if (clsid == CLSID_OrvantaStreamFormatPage) {
        page = MakeCom<StreamFormatPage>();
    } else if (clsid == CLSID_OrvantaDevicePropertyPage) {
        CreateDevicePropertyPage(IPropertyPage::iid, page.ReleaseAndGetVoidAddress());
    } else {
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IPropertyPage::iid, page.ReleaseAndGetVoidAddress());
    }
    return page;
}

}  // namespace

PropertyFrameShow SetPropertyFrameShow(PropertyFrameShow show) {
    PropertyFrameShow previous = std::move(ShowHook());
    ShowHook() = std::move(show);
    return previous;
}

HRESULT ShowPropertyFrame(uint32_t /*owner*/, const std::string& caption, IUnknown* object, const CAUUID& pages) {
    if (!object) return E_POINTER;
    QDialog dialog;
    dialog.setObjectName("propertyFrame");
    dialog.setWindowTitle(QString::fromStdString(caption));
    auto* layout = new QVBoxLayout(&dialog);
    auto* tabs = new QTabWidget;
    tabs->setObjectName("propertyPages");
    layout->addWidget(tabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);

    // Pages that cannot be made or cannot edit the object are left out.
    std::vector<ComPtr<IPropertyPage>> shown;
    IUnknown* objects[] = {object};
    for (ULONG i = 0; i < pages.count && pages.elements; ++i) {
        ComPtr<IPropertyPage> page = CreatePage(pages.elements[i]);
        if (!page || page->SetObjects(1, objects) != S_OK) continue;
        auto* tab = new QWidget;
        auto* tabLayout = new QVBoxLayout(tab);
        tabLayout->setContentsMargins(0, 0, 0, 0);
        if (FAILED(page->Activate(tab))) {
            delete tab;
            page->SetObjects(0, nullptr);
            continue;
        }
        for (QWidget* child : tab->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) tabLayout->addWidget(child);
        PROPPAGEINFO info;
        page->GetPageInfo(&info);
        tabs->addTab(tab, QString::fromStdString(info.title));
        page->Show(5);
        shown.push_back(page);
    }
    HRESULT result = S_FALSE;
    if (!shown.empty()) {
        PropertyFrameShow hook = ShowHook();
        const int answer = hook ? hook(dialog) : RunModalDialog(dialog);
        if (answer == QDialog::Accepted)
            for (const auto& page : shown) page->Apply();
        result = S_OK;
    }
    for (const auto& page : shown) {
        page->Deactivate();
        page->SetObjects(0, nullptr);
        page->SetPageSite(nullptr);
    }
    return result;
}
