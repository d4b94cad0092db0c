#pragma once
// The modal dialog double for tests: while it lives, every dialog run through RunModalDialog is
// recorded by its object name (its window title when it has none), and a dialog whose object
// name or window title has an answer gets it instead of running. An answer is a result
// (QDialog::Accepted, ...) or an action that may fill in the dialog's widgets, press its buttons
// and returns the result. Dialogs without an answer run as they would have (with no screen: at
// once cancelled).
#include <QDialog>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/os/ModalDialog.h"

class ModalDialogAnswerer {
public:
    using Action = std::function<int(QDialog& dialog)>;

    ModalDialogAnswerer() {
        previous_ = SetModalDialogHandler([this](QDialog& dialog) -> std::optional<int> {
            const std::string name = dialog.objectName().toStdString();
            const std::string title = dialog.windowTitle().toStdString();
            seen_.push_back(name.empty() ? title : name);
            auto it = answers_.find(name);
            if (name.empty() || it == answers_.end()) it = answers_.find(title);
            if (it == answers_.end()) return std::nullopt;
            const Action action = it->second;  // the action may replace its own answer
            return action(dialog);
        });
    }
    ~ModalDialogAnswerer() { SetModalDialogHandler(std::move(previous_)); }
    ModalDialogAnswerer(const ModalDialogAnswerer&) = delete;
    ModalDialogAnswerer& operator=(const ModalDialogAnswerer&) = delete;

    // Every later dialog with this object name or window title runs `action` instead.
    void Answer(const std::string& nameOrTitle, Action action) {
        answers_[nameOrTitle] = std::move(action);
    }
    // ... or ends with `result` at once, as if its button had been pressed.
    void Answer(const std::string& nameOrTitle, int result) {
        Answer(nameOrTitle, [result](QDialog& dialog) {
            dialog.setResult(result);
            return result;
        });
    }
    // The object names (or titles) of the dialogs run so far, in order.
    const std::vector<std::string>& Seen() const { return seen_; }

private:
    ModalDialogHandler previous_;
    std::map<std::string, Action> answers_;
    std::vector<std::string> seen_;
};
