#include "platform/os/ModalDialog.h"

#include <QApplication>
#include <QDialog>
#include <QGuiApplication>

bool CanShowDialog() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
    QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

int RunModalDialog(QDialog& dialog) { return CanShowDialog() ? dialog.exec() : QDialog::Rejected; }
