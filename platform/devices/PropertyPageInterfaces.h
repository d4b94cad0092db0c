#pragma once
// Property pages: the objects a settings dialog (the property frame) creates from the CLSIDs an
// object's ISpecifyPropertyPages names, one tab each. The slot order is the platform's for the
// calls kept; Move, Help and TranslateAccelerator are left out because Qt layouts and shortcuts
// do that work, and a page is placed as a QWidget child instead of in a window rectangle.
#include <string>

#include "platform/com/Unknown.h"

class QWidget;

// OnStatusChange flags.
inline constexpr DWORD PROPPAGESTATUS_DIRTY = 0x01;
inline constexpr DWORD PROPPAGESTATUS_VALIDATE = 0x02;
inline constexpr DWORD PROPPAGESTATUS_CLEAN = 0x04;

struct PROPPAGEINFO {
    std::string title;  // the tab's text
    int width = 0;      // the size the page asks for, in pixels
    int height = 0;
};

// The frame's side: told when a page's values change so that it can enable its Apply button.
struct IPropertyPageSite : IUnknown {
    static constexpr IID iid = MakeGuid("{B196B28C-BAB4-101A-B69C-00AA00341D07}");
    virtual HRESULT OnStatusChange(DWORD flags) = 0;

protected:
    ~IPropertyPageSite() = default;
};

struct IPropertyPage : IUnknown {
    static constexpr IID iid = MakeGuid("{B196B28D-BAB4-101A-B69C-00AA00341D07}");
    // null: the frame goes away (the page drops its reference).
    virtual HRESULT SetPageSite(IPropertyPageSite* site) = 0;
    // Builds the page's widgets as a child of `parent` (which owns them).
    virtual HRESULT Activate(QWidget* parent) = 0;
    // Drops the widgets; values not applied are lost.
    virtual HRESULT Deactivate() = 0;
    virtual HRESULT GetPageInfo(PROPPAGEINFO* info) = 0;
    // The objects the page edits; count 0 releases them. E_NOINTERFACE when the page cannot edit
    // them (the frame then leaves the page out).
    virtual HRESULT SetObjects(ULONG count, IUnknown** objects) = 0;
    // SW_SHOW (5) or SW_HIDE (0).
    virtual HRESULT Show(DWORD command) = 0;
    // S_OK when a value changed since the last Apply, S_FALSE otherwise.
    virtual HRESULT IsPageDirty() = 0;
    // Writes the changed values to the objects.
    virtual HRESULT Apply() = 0;

protected:
    ~IPropertyPage() = default;
};
