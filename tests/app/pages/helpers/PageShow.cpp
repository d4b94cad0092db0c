// The Video Capture page, or one of its option dialogs, on a real X display for a person or a
// screenshot to look at: `orvanta_page_show DIST [page|mpeg|wmv|avi|overlay|snapshot] [SNAPSHOTS]`.
// The capture control comes from the program folder DIST, registered in the registry store in
// force. Once shown it prints "shown W H", then "button:TEXT X Y W H" for each of the page's
// buttons (screen coordinates of its top-left corner; spaces in TEXT written as "_") for a test
// to click with xdotool. SIGTERM
// ends it as closing it would: the control is destroyed and takes its broadcast helper with it.
#include <QApplication>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include <unistd.h>

#include "app/options/DeviceAviDialog.h"
#include "app/options/OverlaySettingsDialog.h"
#include "app/outside/CLumicor.h"
#include "app/pages/DeviceCaptureState.h"
#include "app/pages/MpegOptionsDialog.h"
#include "app/pages/SnapshotSettingsDialog.h"
#include "app/pages/VideoCapturePage.h"
#include "app/pages/WmvProfileDialog.h"
#include "app/shell/SettingsFile.h"
#include "tests/support/ModuleRegistration.h"
#include "tests/support/WidgetRect.h"

namespace {

int quitPipe[2] = {-1, -1};

void OnTerminate(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t written = ::write(quitPipe[1], &byte, 1);
}

bool Register(const std::string& file) {
    const std::string error = testing_support::RegisterModuleFile(file);
    if (!error.empty()) std::fprintf(stderr, "cannot register %s\n", error.c_str());
    return error.empty();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (::pipe(quitPipe) != 0) return 1;
    QSocketNotifier quit(quitPipe[0], QSocketNotifier::Read);
    QObject::connect(&quit, &QSocketNotifier::activated, &app, &QApplication::quit);
    std::signal(SIGTERM, OnTerminate);
    if (argc < 2) {
        std::fprintf(stderr, "usage: orvanta_page_show DIST [page|mpeg|wmv|avi|overlay|snapshot] [SNAPSHOTS]\n");
        return 2;
    }
    const std::string dist = argv[1];
    const std::string what = argc > 2 ? argv[2] : "page";
    for (const char* module : {"Grabwell.so", "Lamina.so", "Torvane.so"}) {
        if (!Register(dist + "/" + module)) return 1;
    }
    Settings().snapshotFolder = argc > 3 ? argv[3] : "/tmp/snapshots";
    VideoCapturePage page(dist);
    page.setWindowTitle(QStringLiteral("Video Capture"));
    page.resize(page.minimumSize());
    std::unique_ptr<QDialog> dialog;
    if (what == "mpeg") dialog = std::make_unique<MpegOptionsDialog>(DeviceMpegChoice());
    else if (what == "wmv") dialog = std::make_unique<WmvProfileDialog>(DeviceWmvProfileChoice(), dist);
    else if (what == "avi") dialog = std::make_unique<DeviceAviDialog>(DeviceAviOptions(), Lumicor());
    else if (what == "overlay") dialog = std::make_unique<OverlaySettingsDialog>(Overlay(), IniStore::Instance(), dist);
    else if (what == "snapshot") dialog = std::make_unique<SnapshotSettingsDialog>(Settings(), false);
    QWidget* shown = dialog ? static_cast<QWidget*>(dialog.get()) : &page;
    if (!dialog) page.show();
    else dialog->show();
    QTimer::singleShot(1500, [shown, &page] {
        std::printf("shown %d %d\n", shown->width(), shown->height());
        for (QPushButton* button : page.findChildren<QPushButton*>()) {
            testing_support::PrintRect(
                "button:" + button->text().replace(QLatin1Char(' '), QLatin1Char('_')).toStdString(), button);
        }
        std::fflush(stdout);
    });
    return app.exec();
}
