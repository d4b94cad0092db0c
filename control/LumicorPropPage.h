#pragma once
// The control's one property page (CLSID_LumicorPropPage): an empty "General" tab. Every setting
// is made through the control's properties and methods, so the page shows no fields and its
// Apply writes nothing.
#include <vector>

#include <QPointer>
#include <QWidget>

#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/com/Dispatch.h"
#include "platform/devices/PropertyPageInterfaces.h"

// The page template's size in dialog units.
inline constexpr int kLumicorPropPageWidthDlu = 250;
inline constexpr int kLumicorPropPageHeightDlu = 62;

class CLumicorPropPage final : public ComObject<IPropertyPage> {
public:
    ~CLumicorPropPage() override;

    HRESULT SetPageSite(IPropertyPageSite* site) override;
    HRESULT Activate(QWidget* parent) override;
    HRESULT Deactivate() override;
    HRESULT GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT Show(DWORD command) override;
    HRESULT IsPageDirty() override;
    HRESULT Apply() override;

    // The page's widget while active (null otherwise).
    QWidget* Widget() const { return widget_.data(); }
    size_t ObjectCount() const { return objects_.size(); }

private:
    ComPtr<IPropertyPageSite> site_;
    std::vector<ComPtr<IDispatch>> objects_;
    QPointer<QWidget> widget_;
};

HRESULT CreateLumicorPropPage(REFIID riid, void** object);
