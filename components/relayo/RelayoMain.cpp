// Relayo, the broadcast helper: started by the capture session with the command line
// "MyChildProcess", it lives until WM_COMMAND 1 reaches its window.
#include <signal.h>

#include <QCoreApplication>

#include "components/relayo/Relayo.h"

int main(int argc, char** argv) {
    // A player that vanishes mid-send must not end the broadcast.
    ::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    relayo::Relayo helper;
    if (!helper.Open()) return 2;
    return QCoreApplication::exec();
}
