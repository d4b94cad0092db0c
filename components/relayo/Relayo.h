#pragma once
// The helper program's window and what it runs: a message window of class "Relayoclass" that
// takes start blocks (WM_COPYDATA) and the quit command (WM_COMMAND 1). A start block starts an
// MMSH broadcast of its file on its port, replacing any broadcast running before; clients coming
// and going are reported to the block's window. An rtmp:// publishing address also gets the
// broadcast pushed there; any other address is ignored. UI thread only.
#include <QTimer>
#include <memory>
#include <string>

#include "components/relayo/StartBlock.h"
#include "platform/os/MessageWindow.h"

class MmshServer;

namespace relayo {

class ReportSender;
class RtmpPush;

class Relayo {
public:
    // A helper that was just asked to quit may still hold the port for a moment.
    static constexpr int kBindAttempts = 25;
    static constexpr int kBindRetryMs = 200;

    Relayo();
    ~Relayo();
    Relayo(const Relayo&) = delete;
    Relayo& operator=(const Relayo&) = delete;

    // Creates the window; false (with the reason on stderr) when it cannot.
    bool Open();
    HWND Handle() const { return window_ ? window_->Handle() : 0; }
    // The broadcast that runs now, if any: its port (0 while none is bound).
    uint16_t ServingPort() const;

    LRESULT Procedure(HWND self, UINT message, WPARAM wParam, LPARAM lParam);

private:
    bool OnStartBlock(const COPYDATASTRUCT& data);
    void TryStart();
    void StopBroadcast();

    std::unique_ptr<MessageWindow> window_;
    std::unique_ptr<StartBlock> block_;
    std::unique_ptr<ReportSender> reports_;
    std::unique_ptr<MmshServer> server_;
    std::unique_ptr<RtmpPush> pusher_;
    QTimer bindRetry_;
    int bindAttemptsLeft_ = 0;
};

}  // namespace relayo
