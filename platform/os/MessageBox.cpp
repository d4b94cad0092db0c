#include "platform/os/MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <cstdio>
#include <mutex>

#include "platform/os/ModalDialog.h"

namespace {

std::mutex handlerLock;
MessageBoxHandler& Handler() {
    static MessageBoxHandler handler;
    return handler;
}

QMessageBox::StandardButton ButtonFor(int answer) {
    switch (answer) {
        case IDOK:
            return QMessageBox::Ok;
        case IDCANCEL:
            return QMessageBox::Cancel;
        case IDABORT:
            return QMessageBox::Abort;
        case IDRETRY:
            return QMessageBox::Retry;
        case IDIGNORE:
            return QMessageBox::Ignore;
        case IDYES:
            return QMessageBox::Yes;
        case IDNO:
            return QMessageBox::No;
        default:
            return QMessageBox::NoButton;
    }
}

QMessageBox::Icon IconFor(UINT icon) {
    switch (icon) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONWARNING:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

int ShowDialog(const MessageBoxRequest& request) {
    std::vector<int> answers = request.Answers();
    QMessageBox box;
    box.setText(
        QString::fromUtf8(request.text.data(), static_cast<qsizetype>(request.text.size())));
    box.setWindowTitle(request.caption.empty()
                           ? QCoreApplication::applicationName()
                           : QString::fromUtf8(request.caption.data(),
                                               static_cast<qsizetype>(request.caption.size())));
    box.setIcon(IconFor(request.Icon()));
    QMessageBox::StandardButtons buttons;
    for (int answer : answers) buttons |= ButtonFor(answer);
    box.setStandardButtons(buttons);
    box.setDefaultButton(ButtonFor(request.DefaultAnswer()));
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (int answer : answers) {
        if (clicked && clicked == box.button(ButtonFor(answer))) return answer;
    }
    // Closed without a button: the Cancel answer where there is one, as Escape gives.
    for (int answer : answers) {
        if (answer == IDCANCEL) return IDCANCEL;
    }
    return answers.size() == 1 ? answers.front() : request.DefaultAnswer();
}

}  // namespace

std::vector<int> MessageBoxRequest::Answers() const {
    switch (Buttons()) {
        case MB_OKCANCEL:
            return {IDOK, IDCANCEL};
        case MB_ABORTRETRYIGNORE:
            return {IDABORT, IDRETRY, IDIGNORE};
        case MB_YESNOCANCEL:
            return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO:
            return {IDYES, IDNO};
        case MB_RETRYCANCEL:
            return {IDRETRY, IDCANCEL};
        default:
            return {IDOK};
    }
}

int MessageBoxRequest::DefaultAnswer() const {
    std::vector<int> answers = Answers();
    size_t index = (type & MB_DEFMASK) >> 8;
    return index < answers.size() ? answers[index] : answers.front();
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard guard(handlerLock);
    std::swap(Handler(), handler);
    return handler;
}

int MessageBox(std::string_view text, std::string_view caption, UINT type) {
    MessageBoxRequest request{std::string(text), std::string(caption), type};
    MessageBoxHandler handler;
    {
        std::lock_guard guard(handlerLock);
        handler = Handler();
    }
    if (handler) return handler(request);
    if (!CanShowDialog()) {
        std::fprintf(stderr, "orvanta: message box \"%s\": %s\n", request.caption.c_str(),
                     request.text.c_str());
        return request.DefaultAnswer();
    }
    return ShowDialog(request);
}
