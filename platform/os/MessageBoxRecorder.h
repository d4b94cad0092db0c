#pragma once
// The message box double for tests: while it lives, every MessageBox call is recorded instead of
// shown, and answered from a queue of answers (or with the box's default button when the queue
// is empty).
#include <deque>
#include <vector>

#include "platform/os/MessageBox.h"

class MessageBoxRecorder {
public:
    MessageBoxRecorder() {
        previous_ = SetMessageBoxHandler([this](const MessageBoxRequest& request) {
            calls_.push_back(request);
            if (answers_.empty()) return request.DefaultAnswer();
            int answer = answers_.front();
            answers_.pop_front();
            return answer;
        });
    }
    ~MessageBoxRecorder() { SetMessageBoxHandler(std::move(previous_)); }
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    // The next box is answered with `answer`.
    void Answer(int answer) { answers_.push_back(answer); }
    const std::vector<MessageBoxRequest>& Calls() const { return calls_; }

private:
    MessageBoxHandler previous_;
    std::vector<MessageBoxRequest> calls_;
    std::deque<int> answers_;
};
