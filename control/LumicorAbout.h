#pragma once
// The control's About box (its AboutBox method): caption "About Lumicor Control", the control's
// icon at the left, the product line and two lines about the control, and an OK button.
#include <functional>

#include <QImage>

class QDialog;
class QWidget;

// Shows the box modally over `parent` (may be null) until OK or Escape closes it.
void ShowLumicorAboutBox(QWidget* parent);

// How the box is run: tests replace it to read and close the dialog (nothing may block them); it
// returns the dialog's result. An empty hook brings back the modal run. Returns the previous hook.
using LumicorAboutRun = std::function<int(QDialog& dialog)>;
LumicorAboutRun SetLumicorAboutRun(LumicorAboutRun run);

// The control's icon, `size` pixels square: a camera with its lens and a red recording light.
QImage LumicorIconImage(int size);
