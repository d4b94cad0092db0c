#include "platform/x11/X11WindowPicker.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "platform/x11/X11ErrorTrap.h"

namespace {

bool Contains(const DesktopRect& r, int x, int y) {
    return x >= r.left && y >= r.top && x < r.left + r.width && y < r.top + r.height;
}

// The parent and the children (bottom to top) of `window`; false when it has gone away, which
// any window of another program may do at any moment, and which unguarded would end us.
bool Tree(Display* display, Window window, Window* parent, std::vector<Window>* children) {
    Window root = 0, up = 0, *list = nullptr;
    unsigned count = 0;
    X11ErrorTrap trap(display);
    const Status ok = XQueryTree(display, window, &root, &up, &list, &count);
    if (list) {
        if (children) children->assign(list, list + count);
        XFree(list);
    }
    if (!ok || trap.Sync() != Success) return false;
    if (parent) *parent = up;
    return true;
}

}  // namespace

X11WindowPicker::X11WindowPicker(const std::string& displayName) : display_(XOpenDisplay(displayName.c_str())) {}

X11WindowPicker::~X11WindowPicker() {
    if (!display_) return;
    for (Window w : outline_) XDestroyWindow(display_, w);
    XCloseDisplay(display_);
}

DesktopRect X11WindowPicker::Screen() const {
    if (!display_) return {};
    const int screen = DefaultScreen(display_);
    return {0, 0, DisplayWidth(display_, screen), DisplayHeight(display_, screen)};
}

std::optional<std::pair<int, int>> X11WindowPicker::PointerPosition() const {
    if (!display_) return std::nullopt;
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, winX = 0, winY = 0;
    unsigned mask = 0;
    if (!XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &winX, &winY, &mask))
        return std::nullopt;
    return std::pair{rootX, rootY};
}

bool X11WindowPicker::Rect(unsigned long window, DesktopRect* rect) const {
    XWindowAttributes attributes;
    X11ErrorTrap trap(display_);
    // A window may go away between the tree query and this one.
    if (!XGetWindowAttributes(display_, window, &attributes) || trap.Sync() != Success) return false;
    if (attributes.map_state != IsViewable || attributes.c_class == InputOnly) return false;
    Window child = 0;
    int x = 0, y = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
    *rect = {x, y, attributes.width, attributes.height};
    return true;
}

bool X11WindowPicker::Ignored(unsigned long window, const std::vector<unsigned long>& ignore) const {
    return std::find(ignore.begin(), ignore.end(), window) != ignore.end() ||
           std::find(outline_.begin(), outline_.end(), window) != outline_.end();
}

unsigned long X11WindowPicker::Deepest(unsigned long parent, int x, int y,
                                       const std::vector<unsigned long>& ignore) const {
    std::vector<Window> children;
    if (!Tree(display_, parent, nullptr, &children)) return parent;
    const DesktopRect screen = Screen();
    const long screenArea = static_cast<long>(screen.width) * screen.height;
    Window best = 0;
    long bestArea = LONG_MAX;
    for (Window child : children) {
        DesktopRect r;
        if (Ignored(child, ignore) || !Rect(child, &r) || !Contains(r, x, y)) continue;
        const long area = static_cast<long>(r.width) * r.height;
        // Overlapping siblings: the smallest wins; one as large as the screen is a backdrop.
        if (area < bestArea && (area < screenArea || best == 0)) {
            best = child;
            bestArea = area;
        }
    }
    return best ? Deepest(best, x, y, ignore) : parent;
}

DesktopRect X11WindowPicker::WindowAt(int x, int y, const std::vector<unsigned long>& ignore,
                                      unsigned long* window) const {
    if (!display_) return {};
    const Window root = DefaultRootWindow(display_);
    // Under a reparenting window manager our windows sit inside its frames, which are passed
    // over with them.
    std::vector<unsigned long> passed = ignore;
    for (unsigned long own : ignore) {
        Window at = own, parent = 0;
        while (Tree(display_, at, &parent, nullptr) && parent && parent != root) at = parent;
        if (at != own) passed.push_back(at);
    }
    // The top-level window at the point: the topmost child of the root holding it (the tree
    // lists them bottom to top).
    std::vector<Window> children;
    Window top = 0;
    Tree(display_, root, nullptr, &children);
    for (auto i = children.rbegin(); i != children.rend() && !top; ++i) {
        DesktopRect r;
        if (!Ignored(*i, passed) && Rect(*i, &r) && Contains(r, x, y)) top = *i;
    }
    const Window found = top ? Deepest(top, x, y, passed) : root;
    DesktopRect rect = Screen();
    if (found != root) Rect(found, &rect);
    if (window) *window = found;
    return rect;
}

void X11WindowPicker::ShowOutline(const DesktopRect& r, int thickness) {
    if (!display_) return;
    const int screen = DefaultScreen(display_);
    if (outline_.empty()) {
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = 0xFF9900;  // orange on a true-colour screen
        attributes.border_pixel = 0;
        for (int i = 0; i < 4; ++i) {
            outline_.push_back(XCreateWindow(display_, RootWindow(display_, screen), 0, 0, 1, 1, 0, CopyFromParent,
                                             InputOutput, CopyFromParent,
                                             CWOverrideRedirect | CWBackPixel | CWBorderPixel, &attributes));
        }
    }
    const int t = std::max(1, std::min({thickness, r.width / 2, r.height / 2}));
    const int w = std::max(1, r.width), h = std::max(1, r.height);
    const int sides[4][4] = {{r.left, r.top, w, t},
                             {r.left, r.top + h - t, w, t},
                             {r.left, r.top, t, h},
                             {r.left + w - t, r.top, t, h}};
    for (size_t i = 0; i < outline_.size(); ++i) {
        XMoveResizeWindow(display_, outline_[i], sides[i][0], sides[i][1], static_cast<unsigned>(sides[i][2]),
                          static_cast<unsigned>(sides[i][3]));
        XMapRaised(display_, outline_[i]);
    }
    XFlush(display_);
    shown_ = true;
}

void X11WindowPicker::HideOutline() {
    if (!display_ || !shown_) return;
    for (Window w : outline_) XUnmapWindow(display_, w);
    XFlush(display_);
    shown_ = false;
}
