#include "components/relayo/Relayo.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "components/mmsh/MmshServer.h"
#include "components/relayo/ClientReport.h"
#include "components/relayo/ReportSender.h"
#include "components/relayo/RtmpModuleLoader.h"
#include "platform/base/HResult.h"
#include "platform/contracts/HelperProtocol.h"
#include "platform/contracts/PublishFailureReport.h"
#include "platform/os/WindowMessages.h"

namespace relayo {

Relayo::Relayo() {
    bindRetry_.setSingleShot(true);
    bindRetry_.setInterval(kBindRetryMs);
    QObject::connect(&bindRetry_, &QTimer::timeout, [this] { TryStart(); });
}

Relayo::~Relayo() {
    StopBroadcast();
}

bool Relayo::Open() {
    HRESULT hr = S_OK;
    window_ = MessageWindow::Create(
        kHelperWindowClass, kHelperProgramName,
        [this](HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
            return Procedure(self, message, wParam, lParam);
        },
        &hr);
    if (!window_) std::fprintf(stderr, "Relayo: no window (0x%08X)\n", static_cast<unsigned>(hr));
    return window_ != nullptr;
}

uint16_t Relayo::ServingPort() const {
    return server_ ? server_->Port() : 0;
}

LRESULT Relayo::Procedure(HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COPYDATA:
            if (lParam == 0) return FALSE;
            return OnStartBlock(*reinterpret_cast<const COPYDATASTRUCT*>(lParam)) ? TRUE : FALSE;
        case WM_COMMAND:
            if (LoWord(wParam) != kHelperQuitCommand) return 0;
            // Free the port before answering: the next helper binds it right after.
            StopBroadcast();
            DestroyWindow(self);
            return 0;
        case WM_DESTROY:
            QCoreApplication::quit();
            return 0;
        default:
            return DefWindowProc(self, message, wParam, lParam);
    }
}

bool Relayo::OnStartBlock(const COPYDATASTRUCT& data) {
    if (data.cbData != 0 && data.lpData == nullptr) return false;
    StartBlockResult parsed =
        ParseStartBlock(data.dwData, {static_cast<const uint8_t*>(data.lpData), data.cbData});
    if (!parsed.block) {
        std::fprintf(stderr, "Relayo: start block refused: %s\n", parsed.error.c_str());
        return false;
    }
    StopBroadcast();
    block_ = std::make_unique<StartBlock>(std::move(*parsed.block));
    if (block_->owner != 0) reports_ = std::make_unique<ReportSender>(block_->owner, Handle());
    if (IsRtmpAddress(block_->publishingAddress)) {
        ReportSender* reports = reports_.get();
        auto onFailure = [reports](const std::string& reason) {
            if (reports) reports->Queue(BuildPublishFailureReport({HResultFromErrno(ECONNREFUSED), reason}));
        };
        std::string error;
        pusher_ = StartRtmpPushFromModule(block_->file, block_->publishingAddress, std::move(onFailure), &error);
        if (!pusher_) {
            // The broadcast from this machine goes on; the owner hears that the push cannot.
            const std::string reason = "not pushing to " + block_->publishingAddress + ": " + error;
            std::fprintf(stderr, "Relayo: %s\n", reason.c_str());
            if (reports_) reports_->Queue(BuildPublishFailureReport({CO_E_DLLNOTFOUND, reason}));
        }
    }
    bindAttemptsLeft_ = kBindAttempts;
    TryStart();
    return true;
}

void Relayo::TryStart() {
    if (!block_ || server_) return;
    MmshServerOptions options;
    options.file = block_->file;
    options.port = block_->port;
    options.maxClients = block_->maxClients;
    ReportSender* reports = reports_.get();
    if (reports)
        options.onClientChange = [reports](const MmshClientEvent& event) {
            reports->Queue(BuildClientReport(event.addresses));
        };
    auto server = std::make_unique<MmshServer>(std::move(options));
    int error = server->Start();
    if (error == 0) {
        server_ = std::move(server);
        return;
    }
    if (error == EADDRINUSE && --bindAttemptsLeft_ > 0) {
        bindRetry_.start();
        return;
    }
    std::fprintf(stderr, "Relayo: cannot serve on port %u: %s\n",
                 static_cast<unsigned>(block_->port), std::strerror(error));
}

void Relayo::StopBroadcast() {
    bindRetry_.stop();
    pusher_.reset();
    server_.reset();  // its thread queues into reports_ until it has stopped
    reports_.reset();
    block_.reset();
}

}  // namespace relayo
