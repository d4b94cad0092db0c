#include "app/options/FileDialogEx.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>

#include "platform/os/MessageBox.h"
#include "platform/os/ModalDialog.h"

FileDialogEx::FileDialogEx(bool open, const QString& defaultExtension, const QString& fileName, const QString& filter,
                           QWidget* parent)
    : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    setFileMode(open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!defaultExtension.isEmpty()) setDefaultSuffix(defaultExtension);
    QStringList filters = NameFilters(filter);
    if (!filters.isEmpty()) setNameFilters(filters);
    // The places: home, desktop, documents, the file system's root.
    QList<QUrl> places{QUrl::fromLocalFile(QDir::homePath())};
    for (auto location : {QStandardPaths::DesktopLocation, QStandardPaths::DocumentsLocation}) {
        QString folder = QStandardPaths::writableLocation(location);
        if (!folder.isEmpty() && QDir(folder).exists()) places.append(QUrl::fromLocalFile(folder));
    }
    places.append(QUrl::fromLocalFile(QDir::rootPath()));
    setSidebarUrls(places);
    if (!fileName.isEmpty()) selectFile(fileName);
}

int FileDialogEx::DoModal() { return RunModalDialog(*this) == QDialog::Accepted ? IDOK : IDCANCEL; }

QString FileDialogEx::GetPathName() const {
    QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.front();
}

QStringList FileDialogEx::NameFilters(const QString& filter) {
    QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;  // "||" ends the list
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString description = parts[i];
        // A description that already shows its patterns, as "Bitmap (*.bmp)", shows them once.
        if (description.contains(QLatin1Char('('))) description = description.section(QLatin1Char('('), 0, 0).trimmed();
        filters.append(description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
    }
    return filters;
}
