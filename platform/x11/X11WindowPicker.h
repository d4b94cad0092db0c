#pragma once
// The desktop's windows as the screen recorder's window picker sees them, over a connection of
// its own: where the pointer is, which window lies under a point (the top-level window there,
// then down through its children to the smallest one holding the point) and an outline around a
// rectangle. A composited screen has no drawing that inverts what is under it, so the outline is
// four thin override-redirect windows of its own, which the search never picks.
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

struct DesktopRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const DesktopRect&) const = default;
};

class X11WindowPicker {
public:
    // Opens a connection to `displayName` (":0"); Available() tells whether it did.
    explicit X11WindowPicker(const std::string& displayName);
    ~X11WindowPicker();
    X11WindowPicker(const X11WindowPicker&) = delete;
    X11WindowPicker& operator=(const X11WindowPicker&) = delete;

    bool Available() const { return display_ != nullptr; }
    DesktopRect Screen() const;
    // The pointer in screen pixels; nullopt without a connection.
    std::optional<std::pair<int, int>> PointerPosition() const;
    // The rectangle of the window picked at (x, y), in screen pixels: the whole screen where no
    // window lies there. Windows in `ignore` (with everything inside them, and a window manager's
    // frame around them) are passed over, as are the outline's own. The window's id goes to
    // `window` when given.
    DesktopRect WindowAt(int x, int y, const std::vector<unsigned long>& ignore, unsigned long* window = nullptr) const;

    // Frames `rect` with lines of `thickness` pixels just inside it; Hide takes them away.
    void ShowOutline(const DesktopRect& rect, int thickness = 3);
    void HideOutline();
    bool OutlineShown() const { return shown_; }

private:
    // The smallest viewable child of `parent` holding the root point, recursively; `parent`
    // itself when none does.
    unsigned long Deepest(unsigned long parent, int x, int y, const std::vector<unsigned long>& ignore) const;
    bool Rect(unsigned long window, DesktopRect* rect) const;
    bool Ignored(unsigned long window, const std::vector<unsigned long>& ignore) const;

    _XDisplay* display_ = nullptr;
    std::vector<unsigned long> outline_;
    bool shown_ = false;
};
