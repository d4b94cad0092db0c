#include "platform/os/FileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

#include "platform/os/ModalDialog.h"

namespace {

// UI thread only, as the dialogs are.
FileDialogHandler& Handler() {
    static FileDialogHandler handler;
    return handler;
}

QString Q(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Qt's dialog with the request's check on OK.
class CheckedFileDialog final : public QFileDialog {
public:
    explicit CheckedFileDialog(const FileDialogRequest& request) : request_(request) {}

    std::string Chosen() const { return chosen_; }

    void accept() override {
        if (request_.kind != FileDialogKind::Folder) {
            QFileDialog::accept();  // its own checks (file exists, overwrite), then done()
            return;
        }
        // Qt would refuse a folder that does not exist yet; the check decides instead, and the
        // folder typed into the edit is the one chosen.
        QLineEdit* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QString path = edit ? edit->text().trimmed() : QString();
        if (path.isEmpty()) {
            path = selectedFiles().value(0);
        } else if (QDir::isRelativePath(path)) {
            path = directory().absoluteFilePath(path);
        }
        if (!Passes(path.toStdString(), edit)) return;
        chosen_ = path.toStdString();
        QDialog::accept();
    }

    void done(int result) override {
        if (result == QDialog::Accepted && request_.kind != FileDialogKind::Folder) {
            const std::string path = selectedFiles().value(0).toStdString();
            if (!Passes(path, findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))) return;
            chosen_ = path;
        }
        QFileDialog::done(result);
    }

private:
    bool Passes(const std::string& path, QLineEdit* edit) {
        if (path.empty()) return false;
        if (!request_.validate || request_.validate(path)) return true;
        if (edit) {
            edit->setFocus();
            edit->selectAll();
        }
        return false;
    }

    const FileDialogRequest& request_;
    std::string chosen_;
};

void Configure(CheckedFileDialog& dialog, const FileDialogRequest& request) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(Q(request.title));
    if (!request.initialFolder.empty()) dialog.setDirectory(Q(request.initialFolder));
    switch (request.kind) {
        case FileDialogKind::Folder:
            dialog.setObjectName(kFolderDialogObjectName);
            dialog.setFileMode(QFileDialog::Directory);
            dialog.setOption(QFileDialog::ShowDirsOnly);
            break;
        case FileDialogKind::Save:
            dialog.setObjectName(kFileDialogObjectName);
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
            dialog.setDefaultSuffix(Q(request.defaultExtension));
            break;
        case FileDialogKind::Open:
            dialog.setObjectName(kFileDialogObjectName);
            dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
            break;
    }
    QStringList filters;
    for (const std::string& filter : FileDialogNameFilters(request.filter)) filters << Q(filter);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!request.initialFile.empty()) dialog.selectFile(Q(request.initialFile));
    if (!request.prompt.empty()) {
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            auto* label = new QLabel(Q(request.prompt), &dialog);
            label->setWordWrap(true);
            grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
        }
    }
}

}  // namespace

std::vector<std::string> FileDialogNameFilters(std::string_view filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= filter.size()) {
        const size_t bar = filter.find('|', start);
        parts.emplace_back(filter.substr(start, bar == std::string_view::npos ? bar : bar - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    std::vector<std::string> filters;
    // Description and pattern list in pairs; an empty description ends the list ("||").
    for (size_t i = 0; i + 1 < parts.size() && !parts[i].empty(); i += 2) {
        std::string patterns;
        size_t from = 0;
        const std::string& list = parts[i + 1];
        while (from <= list.size()) {
            size_t semicolon = list.find(';', from);
            std::string pattern =
                list.substr(from, semicolon == std::string::npos ? semicolon : semicolon - from);
            if (pattern == "*.*") pattern = "*";
            if (!pattern.empty()) patterns += (patterns.empty() ? "" : " ") + pattern;
            if (semicolon == std::string::npos) break;
            from = semicolon + 1;
        }
        if (!patterns.empty()) filters.push_back(parts[i] + " (" + patterns + ")");
    }
    return filters;
}

FileDialogHandler SetFileDialogHandler(FileDialogHandler handler) {
    std::swap(Handler(), handler);
    return handler;
}

std::optional<std::string> RunFileDialog(const FileDialogRequest& request) {
    if (FileDialogHandler handler = Handler()) return handler(request);
    CheckedFileDialog dialog(request);
    Configure(dialog, request);
    if (RunModalDialog(dialog) != QDialog::Accepted) return std::nullopt;
    std::string chosen = dialog.Chosen();
    if (chosen.empty()) return std::nullopt;
    return chosen;
}
