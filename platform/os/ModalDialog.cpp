#include "platform/os/ModalDialog.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>

namespace {
// UI thread only, as the dialogs are.
ModalDialogHandler& Handler() {
    static ModalDialogHandler handler;
    return handler;
}
}  // namespace

bool CanShowDialog() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
    QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

int RunModalDialog(QDialog& dialog) {
    // A copy: the handler may run a dialog of its own, or be replaced while it runs.
    if (ModalDialogHandler handler = Handler()) {
        if (std::optional<int> answer = handler(dialog)) return *answer;
    }
    return CanShowDialog() ? dialog.exec() : QDialog::Rejected;
}

ModalDialogHandler SetModalDialogHandler(ModalDialogHandler handler) {
    std::swap(Handler(), handler);
    return handler;
}
