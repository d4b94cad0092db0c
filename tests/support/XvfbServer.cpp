#include "tests/support/XvfbServer.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

XvfbServer::XvfbServer(int width, int height)
{
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("XvfbServer: pipe");
        return;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string fd = std::to_string(fds[1]);
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(),
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        std::perror("XvfbServer: exec Xvfb");
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        std::perror("XvfbServer: fork");
        close(fds[0]);
        return;
    }
    // Xvfb writes the display number it took once it accepts connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0) {
        char c;
        const ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n')
            break;
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        std::fprintf(stderr, "XvfbServer: Xvfb did not report a display\n");
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return;
    }
    display_ = ":" + number;
}

XvfbServer::~XvfbServer()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

void XvfbServer::Export() const
{
    setenv("DISPLAY", display_.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
}

bool XvfbServer::Screenshot(const std::filesystem::path& png) const
{
    const std::string command = "import -display " + display_ + " -window root '" + png.string() + "'";
    return std::system(command.c_str()) == 0 && std::filesystem::exists(png);
}

}  // namespace testing_support
