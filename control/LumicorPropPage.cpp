#include "control/LumicorPropPage.h"

#include <new>

#include <QApplication>

#include "platform/os/DialogUnits.h"

namespace {
constexpr DWORD kShowHide = 0;  // SW_HIDE
}

CLumicorPropPage::~CLumicorPropPage() {
    delete widget_.data();  // a frame that never deactivated the page
}

HRESULT CLumicorPropPage::SetPageSite(IPropertyPageSite* site) {
    site_ = site;
    return S_OK;
}

HRESULT CLumicorPropPage::Activate(QWidget* parent) {
    if (!parent) return E_POINTER;
    if (widget_) return E_UNEXPECTED;
    auto* page = new QWidget(parent);  // owned by the frame's widget, dropped by Deactivate
    page->setObjectName(QStringLiteral("General"));
    page->setFixedSize(
        DialogUnitsToPixels(kLumicorPropPageWidthDlu, kLumicorPropPageHeightDlu, page->font()));
    widget_ = page;
    return S_OK;
}

HRESULT CLumicorPropPage::Deactivate() {
    delete widget_.data();
    widget_ = nullptr;
    return S_OK;
}

HRESULT CLumicorPropPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    info->title = "General";
    const QSize size = DialogUnitsToPixels(kLumicorPropPageWidthDlu, kLumicorPropPageHeightDlu,
                                           widget_ ? widget_->font() : QApplication::font());
    info->width = size.width();
    info->height = size.height();
    return S_OK;
}

HRESULT CLumicorPropPage::SetObjects(ULONG count, IUnknown** objects) {
    if (count == 0) {
        objects_.clear();
        return S_OK;
    }
    if (!objects) return E_POINTER;
    // The page edits automation objects: anything else leaves the page out of the frame.
    std::vector<ComPtr<IDispatch>> taken;
    for (ULONG i = 0; i < count; ++i) {
        if (!objects[i]) return E_POINTER;
        ComPtr<IDispatch> dispatch;
        if (FAILED(objects[i]->QueryInterface(IID_IDispatch, dispatch.ReleaseAndGetVoidAddress())))
            return E_NOINTERFACE;
        taken.push_back(std::move(dispatch));
    }
    objects_ = std::move(taken);
    return S_OK;
}

HRESULT CLumicorPropPage::Show(DWORD command) {
    if (!widget_) return E_UNEXPECTED;
    widget_->setVisible(command != kShowHide);
    return S_OK;
}

// Nothing on the page can change, so it is never dirty and Apply has nothing to write.
HRESULT CLumicorPropPage::IsPageDirty() { return S_FALSE; }

HRESULT CLumicorPropPage::Apply() { return S_OK; }

HRESULT CreateLumicorPropPage(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    try {
        return MakeCom<CLumicorPropPage>()->QueryInterface(riid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
