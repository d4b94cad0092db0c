#pragma once
// The settings dialogs of capture devices (the property frame): one tab per page a device or a
// stream configuration names, OK applies every page. The dialog is shown through a replaceable
// hook, so that tests can work the dialog and close it.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/com/Guid.h"
#include "platform/base/HResult.h"
#include "platform/com/Unknown.h"
#include "platform/devices/DeviceInterfaces.h"

class QDialog;

// The page that picks a stream configuration's format (capability, and size where it scales).
inline constexpr CLSID CLSID_OrvantaStreamFormatPage = MakeGuid("{6A8B1C20-3E5D-4F71-9B0A-2C4D6E8F1A10}");

// Runs the dialog and returns its result (QDialog::Accepted applies the pages).
using PropertyFrameShow = std::function<int(QDialog& dialog)>;
// Replaces how the dialog is run; an empty hook brings back the modal dialog (which, with no
// screen to show it on, answers Cancel at once). Returns the previous hook.
PropertyFrameShow SetPropertyFrameShow(PropertyFrameShow show);

// Shows the pages for `object` (pages this platform does not know are left out) under
// `caption`, owned by the window `owner` (0: none). S_OK when shown, also when cancelled;
// E_POINTER without an object; S_FALSE when no page could be shown.
HRESULT ShowPropertyFrame(uint32_t owner, const std::string& caption, IUnknown* object,
                          const CAUUID& pages);
