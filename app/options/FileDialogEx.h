#pragma once
// The open and save dialogs of the option dialogs and the playlist: always Qt's own file dialog
// (the same on every desktop, and drivable in tests), with a places list down its side, started
// with nothing but the initial file name selected. DoModal answers IDOK or IDCANCEL.
#include <QFileDialog>
#include <QStringList>

class FileDialogEx : public QFileDialog {
    Q_OBJECT
public:
    // `filter` in the "Description|*.a;*.b|...||" form the option dialogs write.
    FileDialogEx(bool open, const QString& defaultExtension, const QString& fileName, const QString& filter,
                 QWidget* parent = nullptr);

    // IDOK when the user chose a file, IDCANCEL (2) otherwise; at once IDCANCEL with no screen.
    int DoModal();
    // The chosen file (the initial name until one is chosen).
    QString GetPathName() const;

    // The "Description|*.a;*.b|" pairs as Qt name filters ("Description (*.a *.b)").
    static QStringList NameFilters(const QString& filter);
};
