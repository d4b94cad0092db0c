#pragma once
// The program's start-up: skin, single instance, the default recording device, the media
// platform check, registration of the component files, then the modal main window.
#include <functional>
#include <memory>
#include <string>

#include "platform/os/RegistryStore.h"

class NamedMutex;

inline constexpr char kInstanceMutexName[] = "CGrabwell";
inline constexpr char kSoundMapperKey[] = "Software\\Microsoft\\Multimedia\\Sound Mapper";

inline constexpr char kAnotherInstanceText[] = "Another Orvanta Programme is running now!";
inline constexpr char kWarningACaption[] = "Window Media Format Runtime Driver Warning";
inline constexpr char kWarningAText[] =
    "Window Media Format Runtime Driver is necessary for Orvanta. You need to install it along "
    "with Orvanta. Now you can run Orvanta setup file again to reinstall it.";
inline constexpr char kWarningBCaption[] = "Microsoft DirectX Warning";
inline constexpr char kWarningBText[] =
    "Microsoft DirectX 9.0 or a higher version is necessary for Orvanta. Please update your "
    "DirectX first. You can also download it from our website.";

// Set when the platform is Windows NT 6 or later; never here.
extern int IsVistaOrLater;

// How start-up ended.
enum class StartUpResult {
    MainWindowClosed,
    AnotherInstance,
    MutexFailed,
    NoMediaPlatform,
    ComponentMissing,
};

// Copies the default playback device's name into "Record" of the Sound Mapper key. Nothing is
// written unless "Playback" could be read.
void CopyPlaybackToRecord(RegistryStore& registry);

class ShellApp {
public:
    struct Hooks {
        // Runs the main window modally; the default builds MainWindow.
        std::function<void()> runMainWindow;
        // Opens the product's support page; the default goes through the shell.
        std::function<void()> openSupportPage;
    };

    ShellApp(std::string programFolder, std::string windowsFolder, RegistryStore registry);
    ShellApp(std::string programFolder, std::string windowsFolder, RegistryStore registry,
             Hooks hooks);
    ~ShellApp();

    // The start-up steps in order; the program ends afterwards whatever they gave (the return
    // value only tells how).
    StartUpResult InitInstance();
    // Shuts the skin library down.
    void ExitInstance();

private:
    std::string programFolder_;
    std::string windowsFolder_;
    RegistryStore registry_;
    Hooks hooks_;
    // Held until the process ends: it tells later starts that this one runs.
    std::unique_ptr<NamedMutex> instance_;
};
