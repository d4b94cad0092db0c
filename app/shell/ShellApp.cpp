#include "app/shell/ShellApp.h"

#include <cstdio>
#include <optional>

#include "app/network/OnlineUpdate.h"
#include "app/shell/ComponentRegistration.h"
#include "app/shell/DirectXVersion.h"
#include "app/shell/MainWindow.h"
#include "app/shell/SkinLibrary.h"
#include "platform/os/MessageBox.h"
#include "platform/os/NamedMutex.h"

int IsVistaOrLater = 0;

void CopyPlaybackToRecord(RegistryStore& registry) {
    std::optional<std::string> playback =
        registry.GetString(HKEY_CURRENT_USER, kSoundMapperKey, "Playback");
    if (!playback) return;
    if (HRESULT hr = registry.SetString(HKEY_CURRENT_USER, kSoundMapperKey, "Record", *playback);
        FAILED(hr)) {
        std::fprintf(stderr, "orvanta: cannot set the recording device: 0x%08X\n",
                     static_cast<unsigned>(hr));
    }
}

ShellApp::ShellApp(std::string programFolder, std::string windowsFolder, RegistryStore registry)
    : ShellApp(std::move(programFolder), std::move(windowsFolder), std::move(registry), Hooks{}) {}

ShellApp::ShellApp(std::string programFolder, std::string windowsFolder, RegistryStore registry,
                   Hooks hooks)
    : programFolder_(std::move(programFolder)),
      windowsFolder_(std::move(windowsFolder)),
      registry_(std::move(registry)),
      hooks_(std::move(hooks)) {
    if (!hooks_.runMainWindow) {
        hooks_.runMainWindow = [folder = programFolder_] {
            MainWindow window(folder);
            window.RunModal();
        };
    }
    if (!hooks_.openSupportPage) hooks_.openSupportPage = OpenSupportPage;
}

ShellApp::~ShellApp() = default;

StartUpResult ShellApp::InitInstance() {
    SkinLibrary::Instance().Load(programFolder_, programFolder_ + "/Wyvern.ssk");

    // Open, then create: two starts at the same moment may both find nothing to open, but only
    // one of them creates the mutex; the other is told it already exists.
    DWORD error = 0;
    if (OpenMutex(kInstanceMutexName, &error)) {
        MessageBox(kAnotherInstanceText, {}, MB_OK | MB_ICONINFORMATION);
        return StartUpResult::AnotherInstance;
    }
    instance_ = CreateMutex(kInstanceMutexName, true, &error);
    if (instance_ && error == ERROR_ALREADY_EXISTS) {
        instance_.reset();
        MessageBox(kAnotherInstanceText, {}, MB_OK | MB_ICONINFORMATION);
        return StartUpResult::AnotherInstance;
    }
    if (!instance_) {
        std::fprintf(stderr, "orvanta: cannot create the instance mutex (error %u)\n",
                     static_cast<unsigned>(error));
        MessageBox("Orvanta cannot tell whether another copy of it runs: its lock file in the "
                   "runtime folder cannot be created.",
                   {}, MB_OK | MB_ICONERROR);
        return StartUpResult::MutexFailed;
    }

    IsVistaOrLater = 0;
    CopyPlaybackToRecord(registry_);

    int major = 0, minor = 0;
    if (!GetDirectXVersion(registry_, major, minor) || major * 10 + minor < kRequiredDirectX) {
        MessageBox(kWarningBText, kWarningBCaption, MB_OK | MB_ICONERROR);
        hooks_.openSupportPage();
        return StartUpResult::NoMediaPlatform;
    }

    if (!RegisterComponents(programFolder_, windowsFolder_).ok) {
        MessageBox(kWarningAText, kWarningACaption, MB_OK | MB_ICONINFORMATION);
        return StartUpResult::ComponentMissing;
    }

    hooks_.runMainWindow();
    return StartUpResult::MainWindowClosed;
}

void ShellApp::ExitInstance() { SkinLibrary::Instance().Shutdown(); }
