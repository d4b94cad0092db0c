#pragma once
// Modal dialogs where there may be nobody to answer them. With no screen (no QApplication, or the
// offscreen or minimal platform) a dialog's event loop would wait forever for a button press, so
// such a dialog is cancelled at once instead.
class QDialog;

// True when a dialog can be put in front of a person.
bool CanShowDialog();

// dialog.exec(), or QDialog::Rejected at once when no dialog can be shown.
int RunModalDialog(QDialog& dialog);
