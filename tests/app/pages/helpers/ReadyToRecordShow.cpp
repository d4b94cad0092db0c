// The "Ready to record" dialog on its own, for the test that drives it on a real X display: a
// hidden-then-restored main window, the save dialog answered with argv[1], the widgets' screen
// rectangles printed once shown and, when the dialog ends, "accepted PATH" or "cancelled".
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "app/pages/ReadyToRecord.h"
#include "platform/os/FileDialog.h"
#include "platform/os/MessageBox.h"
#include "tests/support/WidgetRect.h"

namespace {

using testing_support::PrintRect;

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-PATH\n", argv[0]);
        return 2;
    }
    const std::string answer = argv[1];
    SetFileDialogHandler([answer](const FileDialogRequest&) { return std::optional<std::string>(answer); });
    QWidget main;
    main.setWindowTitle("Orvanta main window");
    main.resize(300, 200);
    main.show();
    ReadyToRecord ready(&main, {"AVI files|*.avi;*.AVI||", "Save the recording as:", "avi", false});
    QTimer::singleShot(500, &ready, [&ready] {
        PrintRect("browse", ready.BrowseButton());
        PrintRect("enable", ready.EnableCountdown());
        PrintRect("seconds", ready.SecondsEdit());
        PrintRect("countdown", ready.CountdownButton());
        PrintRect("dialog", &ready);
    });
    const int result = ready.DoModal();
    if (result == IDOK) std::printf("accepted %s main %s\n", ready.PathName().c_str(), main.isVisible() ? "shown" : "hidden");
    else std::printf("cancelled\n");
    std::fflush(stdout);
    return 0;
}
