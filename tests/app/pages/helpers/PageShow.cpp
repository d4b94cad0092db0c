// The Video Capture page, or one of its option dialogs, on a real X display for a person or a
// screenshot to look at: `orvanta_page_show DIST [page|mpeg|wmv|avi|overlay|snapshot]`. The
// capture control comes from the program folder DIST, registered in the registry store in force.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>

#include "app/options/DeviceAviDialog.h"
#include "app/options/OverlaySettingsDialog.h"
#include "app/outside/CLumicor.h"
#include "app/pages/DeviceCaptureState.h"
#include "app/pages/MpegOptionsDialog.h"
#include "app/pages/SnapshotSettingsDialog.h"
#include "app/pages/VideoCapturePage.h"
#include "app/pages/WmvProfileDialog.h"
#include "app/shell/SettingsFile.h"
#include "platform/com/ModuleLoader.h"

namespace {

bool Register(const std::string& file) {
    HMODULE module = nullptr;
    if (FAILED(LoadModule(file, module))) {
        std::fprintf(stderr, "cannot load %s: %s\n", file.c_str(), LastModuleError().c_str());
        return false;
    }
    auto registerServer = GetProcAddressAs<HRESULT (*)()>(module, "DllRegisterServer");
    return registerServer && SUCCEEDED(registerServer());
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: orvanta_page_show DIST [page|mpeg|wmv|avi|overlay|snapshot]\n");
        return 2;
    }
    const std::string dist = argv[1];
    const std::string what = argc > 2 ? argv[2] : "page";
    for (const char* module : {"Grabwell.so", "Lamina.so", "Torvane.so"}) {
        if (!Register(dist + "/" + module)) return 1;
    }
    Settings().snapshotFolder = "/tmp/snapshots";
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
    QTimer::singleShot(1500, [shown] {
        std::printf("shown %d %d\n", shown->width(), shown->height());
        std::fflush(stdout);
    });
    return app.exec();
}
