#include "platform/dshow/filters/VideoOwner.h"

#include <QPointer>
#include <QWidget>
#include <map>

namespace {
struct OwnerTable {
    VideoOwnerResolver resolver;
    std::map<OAHWND, QPointer<QWidget>> widgets;
    // Handles given to registered widgets: a range the window layer's 32-bit handles never use.
    OAHWND next = OAHWND(1) << 40;
};

OwnerTable& Table() {
    static OwnerTable table;
    return table;
}
}  // namespace

void SetVideoOwnerResolver(VideoOwnerResolver resolver) { Table().resolver = std::move(resolver); }

OAHWND RegisterVideoOwner(QWidget* widget) {
    if (!widget) return 0;
    OwnerTable& table = Table();
    for (auto it = table.widgets.begin(); it != table.widgets.end();) {
        if (!it->second) {
            it = table.widgets.erase(it);
        } else if (it->second == widget) {
            return it->first;
        } else {
            ++it;
        }
    }
    OAHWND handle = table.next++;
    table.widgets[handle] = widget;
    return handle;
}

QWidget* ResolveVideoOwner(OAHWND handle) {
    if (handle == 0) return nullptr;
    OwnerTable& table = Table();
    if (table.resolver) {
        if (QWidget* widget = table.resolver(handle)) return widget;
    }
    auto it = table.widgets.find(handle);
    return it == table.widgets.end() ? nullptr : it->second.data();
}
