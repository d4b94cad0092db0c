#pragma once
// The row at the foot of the option dialogs: the confirming button (default, "Next" or "OK")
// and Cancel, right-aligned. The confirming button closes the dialog with OK only when
// `confirm` agrees; Cancel closes it with Cancel.
#include <QString>
#include <functional>

class QBoxLayout;
class QDialog;

void AddDialogButtonRow(QDialog* dialog, QBoxLayout* layout, const QString& confirmText, std::function<bool()> confirm);
