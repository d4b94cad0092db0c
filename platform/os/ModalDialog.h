#pragma once
// Modal dialogs where there may be nobody to answer them. With no screen (no QApplication, or the
// offscreen or minimal platform) a dialog's event loop would wait forever for a button press, so
// such a dialog is cancelled at once instead. Tests answer dialogs themselves by installing a
// handler (ModalDialogAnswerer).
#include <functional>
#include <optional>

class QDialog;

// True when a dialog can be put in front of a person.
bool CanShowDialog();

// dialog.exec(), or QDialog::Rejected at once when no dialog can be shown; an installed handler
// that answers the dialog decides instead of either.
int RunModalDialog(QDialog& dialog);

// Sees every dialog RunModalDialog is about to run: a result answers it in place of the person,
// nullopt lets it run as it would have.
using ModalDialogHandler = std::function<std::optional<int>(QDialog& dialog)>;
// Returns the previous handler; an empty one brings the default back.
ModalDialogHandler SetModalDialogHandler(ModalDialogHandler handler);
