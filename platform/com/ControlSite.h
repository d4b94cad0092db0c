#pragma once
// The container's side of one hosted control: creates it by CLSID through the class registry,
// gives it this client site (ambient UserMode, the container's widget and window handle),
// initialises or loads its persisted state, activates and closes it, advises an event sink and
// records what the control asked of its container (property changes, resize requests).
//
//   ComPtr<ControlSite> site = ControlSite::Create(&containerWidget);
//   site->CreateControl(CLSID_Camera);
//   site->InitNew();                       // or site->Load(bag)
//   site->Activate();
//   site->AdviseEvents([](DISPID id, std::vector<Variant>& args) { ...; return S_OK; });
//   DispatchDriver(site->Control()).Call(...);
//   site->Destroy();                        // breaks the site <-> control cycle
#include <functional>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/com/ConnectionInterfaces.h"
#include "platform/com/EventSink.h"
#include "platform/com/OleInterfaces.h"
#include "platform/com/PropertyBag.h"

class QWidget;

class ControlSite final
    : public ComObject<IOleClientSite, IOleInPlaceSite, IOleControlSite, IDispatch> {
public:
    struct Size {
        LONG width = 0;
        LONG height = 0;
    };
    // How the site shows the control's property pages (Properties verb); empty: the control
    // shows them itself.
    using PropertyFrame = std::function<HRESULT(IUnknown* control)>;

    // `container` owns the control's window; `containerWindow` is the handle the control may
    // give to dialogs as their owner (0: none).
    static ComPtr<ControlSite> Create(QWidget* container, HWND containerWindow = HWND_NONE);
    ControlSite(QWidget* container, HWND containerWindow);

    // CoCreateInstance of `clsid`, then SetClientSite(this).
    HRESULT CreateControl(REFCLSID clsid);
    // Hosts a control made elsewhere.
    HRESULT AttachControl(IUnknown* control);
    ComPtr<IDispatch> Control() const { return dispatch_; }
    ComPtr<IOleObject> Object() const { return object_; }

    HRESULT InitNew();
    HRESULT Load(const PropertyBag& bag);
    HRESULT Save(PropertyBag* bag, bool clearDirty = true);
    // Whether the control changed since it was loaded or last saved.
    bool IsDirty() const;

    HRESULT Activate();
    HRESULT Resize(LONG width, LONG height);
    HRESULT ShowProperties();
    // Unadvises, closes the control's window and lets the control go.
    void Destroy();

    void SetUserMode(bool userMode) { userMode_ = userMode; }
    bool UserMode() const { return userMode_; }
    // Resize requests are granted (the control's extent changes) unless turned off.
    void SetGrantResize(bool grant) { grantResize_ = grant; }
    void SetPropertyFrame(PropertyFrame frame) { frame_ = std::move(frame); }

    // Advises a sink on the control's default event source.
    HRESULT AdviseEvents(EventSink::Handler handler);

    // What the control told its container, in order.
    const std::vector<DISPID>& Changes() const { return changes_; }
    const std::vector<Size>& ResizeRequests() const { return resizeRequests_; }
    void ClearRecords();

    // IOleClientSite.
    HRESULT SaveObject() override { return S_OK; }
    HRESULT ShowObject() override { return S_OK; }
    HRESULT OnShowWindow(BOOL) override { return S_OK; }
    HRESULT RequestNewObjectLayout() override { return E_NOTIMPL; }
    // IOleInPlaceSite.
    HRESULT GetWindow(HWND* window) override;
    HRESULT GetContainerWidget(QWidget** widget) override;
    HRESULT CanInPlaceActivate() override { return container_ ? S_OK : S_FALSE; }
    HRESULT OnInPlaceActivate() override;
    HRESULT OnInPlaceDeactivate() override;
    HRESULT OnPosRectChange(LONG width, LONG height) override;
    // IOleControlSite.
    HRESULT OnControlInfoChanged() override { return S_OK; }
    HRESULT ShowPropertyFrame() override;
    // IDispatch: the ambient properties (UserMode).
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, const char* const* names, UINT count, LCID lcid,
                          DISPID* ids) override;
    HRESULT Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

    bool InPlaceActive() const { return inPlaceActive_; }

private:
    HRESULT Advise(const IID& iid, IUnknown* sink, DWORD* cookie);

    QWidget* container_;
    HWND containerWindow_;
    ComPtr<IUnknown> control_;
    ComPtr<IDispatch> dispatch_;
    ComPtr<IOleObject> object_;
    struct Connection {
        IID iid;
        DWORD cookie;
    };
    std::vector<Connection> connections_;
    std::vector<DISPID> changes_;
    std::vector<Size> resizeRequests_;
    PropertyFrame frame_;
    bool userMode_ = true;
    bool grantResize_ = true;
    bool inPlaceActive_ = false;
};
