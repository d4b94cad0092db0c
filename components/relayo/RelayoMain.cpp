// Relayo, the broadcast helper: started by the capture session with the command line
// "MyChildProcess", it lives until WM_COMMAND 1 reaches its window.
#include <signal.h>

#include <QCoreApplication>

extern "C" {
#include <libavutil/log.h>
}

#include "components/relayo/Relayo.h"

int main(int argc, char** argv) {
    // A player that vanishes mid-send must not end the broadcast.
    ::signal(SIGPIPE, SIG_IGN);
    // Codec chatter would fill the capture program's terminal; real failures still show.
    av_log_set_level(AV_LOG_ERROR);
    QCoreApplication app(argc, argv);
    relayo::Relayo helper;
    if (!helper.Open()) return 2;
    return QCoreApplication::exec();
}
