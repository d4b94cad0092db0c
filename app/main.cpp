// Orvanta: start-up runs the main window modally; the program ends when it closes.
#include <QApplication>

#include "app/shell/ShellApp.h"
#include "platform/os/Folders.h"

#ifdef ORVANTA_WITH_X11_HOTKEYS
#include "app/shell/MainWindow.h"
#include "platform/x11/GlobalHotKeys.h"
#endif

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvanta"));
    ShellApp::Hooks hooks;
#ifdef ORVANTA_WITH_X11_HOTKEYS
    hooks.runMainWindow = [] {
        MainWindow window(GetProgramFolder(), &GlobalHotKeys::Instance());
        window.RunModal();
    };
#endif
    ShellApp shell(GetProgramFolder(), GetWindowsFolder(), RegistryStore::Default(), hooks);
    StartUpResult result = shell.InitInstance();
    shell.ExitInstance();
    return result == StartUpResult::MainWindowClosed ? 0 : 1;
}
