#pragma once
// The routing dialog of a crossbar: one row per output pin naming its connector and offering the
// inputs it can take (and "No input"); OK routes every changed output. The dialog is run through a
// replaceable hook so that tests can work it with no screen.
#include <functional>
#include <string>

#include "platform/base/HResult.h"
#include "platform/devices/DeviceInterfaces.h"

class QDialog;

// Runs the dialog and returns its result (QDialog::Accepted applies the routes).
using CrossbarPageShow = std::function<int(QDialog& dialog)>;
// Replaces how the dialog is run; an empty hook brings back the modal dialog (which, with no
// screen, answers Cancel at once). Returns the previous hook.
CrossbarPageShow SetCrossbarPageShow(CrossbarPageShow show);

// Shows the dialog for `crossbar` under `caption`. S_OK when shown (also when cancelled), E_POINTER
// without a crossbar, the crossbar's error when its pins cannot be read. A route the crossbar
// refuses leaves that output as it was.
HRESULT ShowCrossbarDialog(const std::string& caption, IAMCrossbar* crossbar);
