#pragma once
// Turns the OAHWND of IVideoWindow::put_Owner / put_MessageDrain into the Qt widget the video
// window lives in. Two ways in: a widget registered here (RegisterVideoOwner gives it a handle
// value), or a resolver that the window layer installs for its own window handles.
//
// UI thread only.
#include <functional>

#include "platform/dshow/DShowTypes.h"

class QWidget;

using VideoOwnerResolver = std::function<QWidget*(OAHWND)>;

// Replaces the resolver (an empty one removes it). It is asked first.
void SetVideoOwnerResolver(VideoOwnerResolver resolver);
// A handle for `widget`, valid until the widget is destroyed (the same widget always gets the
// same handle). 0 for null.
OAHWND RegisterVideoOwner(QWidget* widget);
// The widget for a handle, or null (0, unknown or destroyed).
QWidget* ResolveVideoOwner(OAHWND handle);
