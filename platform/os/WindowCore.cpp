#include "platform/os/WindowCore.h"

#include <QTimerEvent>
#include <algorithm>

#include "platform/os/WindowHost.h"

namespace {
constexpr UINT kMinimumTimerMs = 10;
uint64_t nextSerial = 0;  // UI thread only
}  // namespace

WindowCore::WindowCore(HWND handle, std::string className, std::string title, WindowProc proc,
                       UnixSocket listener, WindowDirectory directory)
    : handle_(handle),
      serial_(++nextSerial),
      className_(std::move(className)),
      title_(std::move(title)),
      proc_(std::make_shared<const WindowProc>(std::move(proc))),
      listener_(std::move(listener)),
      directory_(std::move(directory)),
      notifier_(std::make_unique<QSocketNotifier>(listener_.Fd(), QSocketNotifier::Read)) {
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
        Use use(*this);
        WindowHost::Instance().AcceptOn(handle_);
    });
}

WindowCore::~WindowCore() {
    BeginDestroy();
}

void WindowCore::BeginDestroy() {
    destroying_ = true;
    if (notifier_) notifier_->setEnabled(false);
    listener_.Close();
    for (auto& [id, qtId] : qtTimerById_) killTimer(qtId);
    qtTimerById_.clear();
    idByQtTimer_.clear();
}

UINT_PTR WindowCore::SetTimer(UINT_PTR id, UINT elapseMs) {
    if (destroying_ || id == 0) return 0;
    KillTimer(id);
    int qtId =
        startTimer(static_cast<int>(std::clamp<UINT>(elapseMs, kMinimumTimerMs, 0x7FFFFFFF)));
    if (qtId == 0) return 0;
    qtTimerById_[id] = qtId;
    idByQtTimer_[qtId] = id;
    return id;
}

bool WindowCore::KillTimer(UINT_PTR id) {
    auto found = qtTimerById_.find(id);
    if (found == qtTimerById_.end()) return false;
    killTimer(found->second);
    idByQtTimer_.erase(found->second);
    qtTimerById_.erase(found);
    return true;
}

void WindowCore::timerEvent(QTimerEvent* event) {
    auto found = idByQtTimer_.find(event->timerId());
    if (found == idByQtTimer_.end()) return;
    Use use(*this);
    WindowHost::Instance().Dispatch(handle_, WM_TIMER, found->second, 0, nullptr);
}
