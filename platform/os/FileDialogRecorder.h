#pragma once
// The file dialog double for tests: while it lives, every RunFileDialog call is recorded instead
// of shown, and answered from a queue of paths and cancellations (cancelled when the queue is
// empty). A request with a check on OK gets the queued paths in turn until one passes, as a
// person would try again while the check keeps the dialog open; none passing cancels it.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/os/FileDialog.h"

class FileDialogRecorder {
public:
    FileDialogRecorder() {
        previous_ = SetFileDialogHandler([this](const FileDialogRequest& request) {
            requests_.push_back(request);
            while (!answers_.empty()) {
                std::optional<std::string> answer = answers_.front();
                answers_.pop_front();
                if (!answer) return answer;
                if (!request.validate || request.validate(*answer)) return answer;
            }
            return std::optional<std::string>{};
        });
    }
    ~FileDialogRecorder() { SetFileDialogHandler(std::move(previous_)); }
    FileDialogRecorder(const FileDialogRecorder&) = delete;
    FileDialogRecorder& operator=(const FileDialogRecorder&) = delete;

    // The next dialog (or the next try in one) chooses `path`.
    void Answer(std::string path) { answers_.push_back(std::move(path)); }
    // The next dialog is cancelled.
    void Cancel() { answers_.push_back(std::nullopt); }
    const std::vector<FileDialogRequest>& Requests() const { return requests_; }

private:
    FileDialogHandler previous_;
    std::vector<FileDialogRequest> requests_;
    std::deque<std::optional<std::string>> answers_;
};
