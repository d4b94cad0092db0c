#pragma once
// How a control and its container meet: the container's client site (ambient properties through
// its IDispatch, the container's window and widget, resize requests, the property frame) and the
// control's activation, persistence into a property bag and design-time property browsing. The
// slot orders follow the platform's where a call is kept; calls that only make sense with
// window rectangles and metafiles are left out, because the control is a QWidget child of the
// container's widget.
#include <string>
#include <vector>

#include "platform/com/Dispatch.h"
#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"
#include "platform/os/WindowTypes.h"

class PropertyBag;
class QWidget;

// Verbs (OLEIVERB_*).
inline constexpr LONG OLEIVERB_PRIMARY = 0;
inline constexpr LONG OLEIVERB_SHOW = -1;
inline constexpr LONG OLEIVERB_HIDE = -3;
inline constexpr LONG OLEIVERB_UIACTIVATE = -4;
inline constexpr LONG OLEIVERB_INPLACEACTIVATE = -5;
inline constexpr LONG OLEIVERB_PROPERTIES = -7;
inline constexpr HRESULT OLEOBJ_S_INVALIDVERB = MakeHResult(0x00040180);
inline constexpr HRESULT OLE_E_NOTRUNNING = MakeHResult(0x80040005);

inline constexpr DWORD DVASPECT_CONTENT = 1;
// Close options.
inline constexpr DWORD OLECLOSE_SAVEIFDIRTY = 0;
inline constexpr DWORD OLECLOSE_NOSAVE = 1;

// Ambient properties the control reads from its site's IDispatch.
inline constexpr DISPID DISPID_AMBIENT_USERMODE = -709;

struct IOleClientSite : IUnknown {
    static constexpr IID iid = MakeGuid("{00000118-0000-0000-C000-000000000046}");
    virtual HRESULT SaveObject() = 0;
    virtual HRESULT ShowObject() = 0;
    virtual HRESULT OnShowWindow(BOOL show) = 0;
    virtual HRESULT RequestNewObjectLayout() = 0;

protected:
    ~IOleClientSite() = default;
};

// The in-place side of the site: where the control's window goes.
struct IOleInPlaceSite : IUnknown {
    static constexpr IID iid = MakeGuid("{00000119-0000-0000-C000-000000000046}");
    // The container window's handle (a message window other processes can reach; 0: none).
    virtual HRESULT GetWindow(HWND* window) = 0;
    // The widget the control's window becomes a child of.
    virtual HRESULT GetContainerWidget(QWidget** widget) = 0;
    virtual HRESULT CanInPlaceActivate() = 0;
    virtual HRESULT OnInPlaceActivate() = 0;
    virtual HRESULT OnInPlaceDeactivate() = 0;
    // The control asks for a new size (pixels); the container decides and calls SetExtent.
    virtual HRESULT OnPosRectChange(LONG width, LONG height) = 0;

protected:
    ~IOleInPlaceSite() = default;
};

struct IOleControlSite : IUnknown {
    static constexpr IID iid = MakeGuid("{B196B289-BAB4-101A-B69C-00AA00341D07}");
    virtual HRESULT OnControlInfoChanged() = 0;
    // E_NOTIMPL lets the control show its property pages itself.
    virtual HRESULT ShowPropertyFrame() = 0;

protected:
    ~IOleControlSite() = default;
};

struct IOleObject : IUnknown {
    static constexpr IID iid = MakeGuid("{00000112-0000-0000-C000-000000000046}");
    virtual HRESULT SetClientSite(IOleClientSite* site) = 0;
    virtual HRESULT GetClientSite(IOleClientSite** site) = 0;
    // Destroys the control's window (the control stays usable and may be activated again).
    virtual HRESULT Close(DWORD saveOption) = 0;
    virtual HRESULT DoVerb(LONG verb) = 0;
    virtual HRESULT GetUserClassID(CLSID* clsid) = 0;
    // The control's size in pixels; its window follows.
    virtual HRESULT SetExtent(DWORD aspect, LONG width, LONG height) = 0;
    virtual HRESULT GetExtent(DWORD aspect, LONG* width, LONG* height) = 0;
    virtual HRESULT GetMiscStatus(DWORD aspect, DWORD* status) = 0;

protected:
    ~IOleObject() = default;
};

// Persistence into a bag the container keeps (the byte form is IPersistBytes).
struct IPersistPropertyBag : IUnknown {
    static constexpr IID iid = MakeGuid("{37D84F60-42CB-11CE-8135-00AA004BB851}");
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(const PropertyBag* bag) = 0;
    virtual HRESULT Save(PropertyBag* bag, BOOL clearDirty) = 0;

protected:
    ~IPersistPropertyBag() = default;
};

// What a property browser shows for a property and offers to pick.
struct IPerPropertyBrowsing : IUnknown {
    static constexpr IID iid = MakeGuid("{376BD3AA-3845-101B-84ED-08002B2EC713}");
    // E_NOTIMPL: the browser shows the value itself.
    virtual HRESULT GetDisplayString(DISPID dispid, std::string* text) = 0;
    virtual HRESULT MapPropertyToPage(DISPID dispid, CLSID* page) = 0;
    // The names to offer and each one's cookie; E_NOTIMPL when the property offers none.
    virtual HRESULT GetPredefinedStrings(DISPID dispid, std::vector<std::string>* strings,
                                         std::vector<DWORD>* cookies) = 0;
    virtual HRESULT GetPredefinedValue(DISPID dispid, DWORD cookie, VARIANT* value) = 0;

protected:
    ~IPerPropertyBrowsing() = default;
};
