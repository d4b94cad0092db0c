// The second process of the cross-process tests of message windows and named mutexes.
//   orvanta_os_peer window <class> <title> <folder>   a message window (see Procedure below)
//   orvanta_os_peer silent <class> <folder>           a "window" that accepts and never answers
//   orvanta_os_peer garbage <class> <folder>          a "window" that answers with junk
//   orvanta_os_peer mutex <name> <folder>             creates an owned mutex and holds it
//   orvanta_os_peer clock now <folder>                reads the wall clock and ends
// Once ready it writes <folder>/ready: the window handle, the mutex result, or the local time
// ("2026-12-09 14:30:05").
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/os/MessageWindow.h"
#include "platform/os/NamedMutex.h"
#include "platform/os/UnixSocket.h"
#include "platform/os/WallClock.h"
#include "platform/os/WindowDirectory.h"
#include "platform/os/WindowMessages.h"
#include "tests/platform/os/PeerMessages.h"

namespace fs = std::filesystem;

namespace {

fs::path folder;

void WriteFile(const std::string& name, const std::string& bytes) {
    fs::path temporary = folder / (name + ".tmp");
    {
        std::ofstream out(temporary, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    fs::rename(temporary, folder / name);
}

LRESULT Procedure(HWND self, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COPYDATA: {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            std::string bytes(static_cast<const char*>(data->lpData), data->cbData);
            WriteFile("copydata.bin", bytes);
            WriteFile("copydata.dwData", std::to_string(data->dwData));
            if (wParam != 0) {
                // Answer the way the helper reports clients: a WM_COPYDATA of its own back to the
                // sender's window, while the sender still waits for this one.
                COPYDATASTRUCT echo{data->dwData + 1, data->cbData, data->lpData};
                LRESULT echoResult = SendMessage(static_cast<HWND>(wParam), WM_COPYDATA, self,
                                                 reinterpret_cast<LPARAM>(&echo));
                WriteFile("echo.result", std::to_string(echoResult));
            }
            return static_cast<LRESULT>(peer_messages::Fnv1a(bytes));
        }
        case peer_messages::kCombine:
            return static_cast<LRESULT>(wParam) * 1000 + lParam;
        case peer_messages::kCallBack:
            return SendMessage(static_cast<HWND>(wParam), peer_messages::kCalledBack, 0, lParam) +
                   1;
        case WM_COMMAND:
            if (LoWord(wParam) == 1) {
                DestroyWindow(self);
                return 0;
            }
            return 0;
        case WM_DESTROY:
            QCoreApplication::quit();
            return 0;
        default:
            return DefWindowProc(self, message, wParam, lParam);
    }
}

int RunWindow(const std::string& className, const std::string& title) {
    HRESULT hr = S_OK;
    auto window = MessageWindow::Create(className, title, Procedure, &hr);
    if (!window) {
        std::fprintf(stderr, "peer: no window (0x%08X)\n", static_cast<unsigned>(hr));
        return 2;
    }
    WriteFile("ready", std::to_string(window->Handle()));
    return QCoreApplication::exec();
}

// A listener published like a window but driven by hand: it accepts every connection and then
// either never writes (silent) or answers each header with junk (garbage).
int RunRawPeer(const std::string& className, bool garbage) {
    auto directory = WindowDirectory::Open();
    if (!directory) return 2;
    std::mt19937 random{std::random_device{}()};
    HWND handle = 0;
    UnixSocket listener;
    for (int attempt = 0; attempt < 16 && !listener; ++attempt) {
        handle = std::uniform_int_distribution<HWND>(0x10000, 0x7FFFFFFF)(random);
        if (UnixSocket::Listen(directory->SocketPath(handle), listener) != 0) listener.Close();
    }
    if (!listener || FAILED(directory->Publish({handle, className, "", ::getpid()}))) return 2;
    WriteFile("ready", std::to_string(handle));
    std::vector<UnixSocket> peers;
    for (;;) {
        std::vector<pollfd> fds{{listener.Fd(), POLLIN, 0}};
        for (const UnixSocket& peer : peers) fds.push_back({peer.Fd(), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0) continue;
        if (fds[0].revents) {
            while (UnixSocket peer = listener.Accept()) peers.push_back(std::move(peer));
        }
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            char buffer[4096];
            long got = peers[i - 1].Receive(buffer, sizeof buffer);
            if (got > 0 && garbage) {
                std::vector<char> junk(40, '\xAB');
                peers[i - 1].Send(junk.data(), junk.size());
            }
            if (got == 0) peers[i - 1].Close();
        }
        std::erase_if(peers, [](const UnixSocket& peer) { return !peer; });
    }
}

int RunMutex(const std::string& name) {
    DWORD error = 0;
    auto mutex = CreateMutex(name, true, &error);
    WriteFile("ready", !mutex ? "failed" : error == ERROR_ALREADY_EXISTS ? "exists" : "created");
    for (;;) ::pause();
}

int RunClock() {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    WriteFile("ready", text);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 3) return 1;
    folder = args.back();
    const std::string& mode = args[0];
    if (mode == "window" && args.size() == 4) return RunWindow(args[1], args[2]);
    if (mode == "silent") return RunRawPeer(args[1], false);
    if (mode == "garbage") return RunRawPeer(args[1], true);
    if (mode == "mutex") return RunMutex(args[1]);
    if (mode == "clock") return RunClock();
    return 1;
}
