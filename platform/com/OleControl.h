#pragma once
// The base of a control that containers host by CLSID: IDispatch from the control's dispatch
// table, activation into a QWidget child of the container's widget, persistence through
// PropExchange, the default event source and property-change notifications, design-time
// property browsing and the property page list. A control derives from OleControl, answers the
// pure virtual calls and overrides the hooks it needs.
//
// Window: DoVerb with OLEIVERB_SHOW, OLEIVERB_INPLACEACTIVATE or OLEIVERB_UIACTIVATE creates the
// control's widget inside the site's container widget and a message window of its own (handle
// reachable from other processes: timers and WM_COPYDATA arrive there), then calls OnCreate.
// Close calls OnDestroy and destroys both. A derived class must call DestroyControlWindow in its
// own destructor, because OnDestroy cannot run once the derived part is gone.
#include <QPointer>
#include <QWidget>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/com/ComObject.h"
#include "platform/com/ConnectionInterfaces.h"
#include "platform/com/ConnectionPointList.h"
#include "platform/com/DispatchTable.h"
#include "platform/com/OleInterfaces.h"
#include "platform/com/PersistBytes.h"
#include "platform/com/PropExchange.h"
#include "platform/com/PropertyPageList.h"
#include "platform/os/MessageWindow.h"

// The control's own widget: reports its size changes to the control.
class OleControlWidget final : public QWidget {
public:
    using SizeHandler = std::function<void(int width, int height)>;
    OleControlWidget(QWidget* parent, SizeHandler onSize);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    SizeHandler onSize_;
};

class OleControl
    : public ComObject<IDispatch, IOleObject, IPersistBytes, IPersistPropertyBag,
                       IConnectionPointContainer, IPerPropertyBrowsing, ISpecifyPropertyPages,
                       IProvideClassInfo2> {
public:
    OleControl();

    // IDispatch, from ControlDispatchTable().
    HRESULT GetTypeInfoCount(UINT* count) override;
    HRESULT GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT GetIDsOfNames(REFIID riid, const char* const* names, UINT count, LCID lcid,
                          DISPID* ids) override;
    HRESULT Invoke(DISPID member, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                   VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

    // IOleObject.
    HRESULT SetClientSite(IOleClientSite* site) override;
    HRESULT GetClientSite(IOleClientSite** site) override;
    HRESULT Close(DWORD saveOption) override;
    HRESULT DoVerb(LONG verb) override;
    HRESULT GetUserClassID(CLSID* clsid) override;
    HRESULT SetExtent(DWORD aspect, LONG width, LONG height) override;
    HRESULT GetExtent(DWORD aspect, LONG* width, LONG* height) override;
    HRESULT GetMiscStatus(DWORD aspect, DWORD* status) override;

    // IPersistBytes and IPersistPropertyBag (GetClassID is shared).
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT IsDirty() override;
    HRESULT InitNew() override;
    HRESULT Load(const uint8_t* data, size_t size) override;
    HRESULT Save(std::vector<uint8_t>* data, BOOL clearDirty) override;
    HRESULT Load(const PropertyBag* bag) override;
    HRESULT Save(PropertyBag* bag, BOOL clearDirty) override;

    // IConnectionPointContainer: the default event source and IPropertyNotifySink.
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** enumerator) override;
    HRESULT FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    // IPerPropertyBrowsing, through the On* hooks below.
    HRESULT GetDisplayString(DISPID dispid, std::string* text) override;
    HRESULT MapPropertyToPage(DISPID dispid, CLSID* page) override;
    HRESULT GetPredefinedStrings(DISPID dispid, std::vector<std::string>* strings,
                                 std::vector<DWORD>* cookies) override;
    HRESULT GetPredefinedValue(DISPID dispid, DWORD cookie, VARIANT* value) override;

    // ISpecifyPropertyPages, from PropertyPageClasses().
    HRESULT GetPages(CAUUID* pages) override;

    // IProvideClassInfo2: the default source interface (no class type info without a library).
    HRESULT GetClassInfo(ITypeInfo** info) override;
    HRESULT GetGUID(DWORD kind, Guid* guid) override;

    // For the control.
    // The container's ambient UserMode; TRUE without a site or when the site does not say.
    bool AmbientUserMode() const;
    void SetModifiedFlag(bool modified = true) { modified_ = modified; }
    bool IsModified() const { return modified_; }
    // Property-change sinks: OnChanged(dispid).
    void BoundPropertyChanged(DISPID dispid);
    // A repaint request for the control's window.
    void InvalidateControl();
    int InvalidateCount() const { return invalidations_; }
    // Asks the in-place site for a new size; false when there is no site that takes it.
    bool RequestResize(LONG width, LONG height);
    // The container's window handle (0: none).
    HWND ContainerWindow() const;
    QWidget* ControlWidget() const { return widget_.data(); }
    // The message window of the control's window (0 while there is no window).
    HWND MessageWindowHandle() const;
    // A timer of the control's window: OnTimer(id) every `elapseMs` until KillControlTimer.
    bool SetControlTimer(UINT_PTR id, UINT elapseMs);
    void KillControlTimer(UINT_PTR id);
    // The default event source's sinks get the event; arguments in declaration order.
    template <class... A>
    size_t FireEvent(DISPID dispid, A&&... args) {
        return FireEventArgs(dispid, std::vector<Variant>{Variant(std::forward<A>(args))...});
    }
    size_t FireEventArgs(DISPID dispid, std::vector<Variant> args);

protected:
    ~OleControl() override;

    // What the derived control is.
    virtual const DispatchTable& ControlDispatchTable() const = 0;
    // The object the dispatch table's handlers are called on (the derived `this`).
    virtual void* DispatchSelf() = 0;
    virtual CLSID ControlClsid() const = 0;
    virtual IID EventsIid() const = 0;
    virtual DWORD MiscStatus() const { return 0; }
    virtual std::string WindowClassName() const { return "OleControlWindow"; }
    virtual std::vector<CLSID> PropertyPageClasses() const { return {}; }
    virtual void DoPropExchange(PropExchange& px) = 0;

    // Window hooks.
    virtual void OnCreate() {}
    virtual void OnSize(int /*width*/, int /*height*/) {}
    virtual void OnDestroy() {}
    virtual void OnTimer(UINT_PTR /*id*/) {}
    // A message other than WM_TIMER reaching the control's message window; return true when
    // handled (*result then answers it), false for the default handling.
    virtual bool OnWindowMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/,
                                 LRESULT* /*result*/) {
        return false;
    }

    // Browsing hooks: false gives the framework's default (E_NOTIMPL).
    virtual bool OnGetDisplayString(DISPID, std::string&) { return false; }
    virtual bool OnGetPredefinedStrings(DISPID, std::vector<std::string>&, std::vector<DWORD>&) {
        return false;
    }
    virtual bool OnGetPredefinedValue(DISPID, DWORD, Variant&) { return false; }
    // The Properties verb when the site does not show a frame itself.
    virtual HRESULT OnShowPropertyPages() { return E_NOTIMPL; }

    // Creates the window (no-op when it exists); E_UNEXPECTED without a site widget.
    HRESULT CreateControlWindow();
    void DestroyControlWindow();

    void* QueryExtraInterface(REFIID riid) override;

private:
    void EnsurePoints();
    void Exchange(PropExchange& px);
    LRESULT WindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    ComPtr<IOleClientSite> site_;
    ConnectionPointList points_{this};
    QPointer<OleControlWidget> widget_;
    std::unique_ptr<MessageWindow> messages_;
    LONG width_ = 320;
    LONG height_ = 240;
    bool modified_ = false;
    bool pointsAdded_ = false;
    int invalidations_ = 0;
};
