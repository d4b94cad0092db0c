#include <QApplication>
#include <cstdlib>
#include <iostream>

#include "platform/com/ModuleLoader.h"
#include "tools/capture/CaptureTool.h"

int main(int argc, char** argv) {
    // Without a screen the control still records: Qt then draws offscreen.
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    return CaptureTool(std::cout, std::cerr, ExecutablePath().parent_path()).Run(args);
}
