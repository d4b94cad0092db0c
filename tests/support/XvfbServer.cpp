#include "tests/support/XvfbServer.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testing_support {

namespace {

// The display numbers ORVANTA_TEST_DISPLAYS allows ("71-79" or "71"), for machines where several
// people's X servers share the number space; none when it is unset.
std::vector<int> AllowedDisplays()
{
    std::vector<int> numbers;
    const char* range = std::getenv("ORVANTA_TEST_DISPLAYS");
    if (!range || !*range)
        return numbers;
    int first = 0, last = 0;
    const int fields = std::sscanf(range, "%d-%d", &first, &last);
    if (fields < 1 || first < 0) {
        std::fprintf(stderr, "XvfbServer: ORVANTA_TEST_DISPLAYS=%s is no display range\n", range);
        return numbers;
    }
    if (fields == 1)
        last = first;
    for (int n = first; n <= last; ++n)
        numbers.push_back(n);
    return numbers;
}

}  // namespace

XvfbServer::XvfbServer(int width, int height)
{
    const std::vector<int> allowed = AllowedDisplays();
    if (allowed.empty()) {
        Launch(width, height, std::nullopt);
        return;
    }
    // A number another server holds makes Xvfb end at once; the next one is tried.
    for (int number : allowed) {
        if (Launch(width, height, number))
            return;
    }
    std::fprintf(stderr, "XvfbServer: no display of ORVANTA_TEST_DISPLAYS was free\n");
}

bool XvfbServer::Launch(int width, int height, std::optional<int> number)
{
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("XvfbServer: pipe");
        return false;
    }
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const std::string fd = std::to_string(fds[1]);
    const std::string display = number ? ":" + std::to_string(*number) : std::string();
    std::vector<const char*> argv{"Xvfb"};
    if (number)
        argv.push_back(display.c_str());
    for (const char* arg : {"-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset"})
        argv.push_back(arg);
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        // A taken number is expected while looking for a free one; say nothing of it.
        if (number) {
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0)
                dup2(null, 2);
        }
        execvp("Xvfb", const_cast<char* const*>(argv.data()));
        std::perror("XvfbServer: exec Xvfb");
        _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
        std::perror("XvfbServer: fork");
        close(fds[0]);
        return false;
    }
    // Xvfb writes the display number it took once it accepts connections.
    std::string reported;
    pollfd p{fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0) {
        char c;
        const ssize_t n = read(fds[0], &c, 1);
        if (n <= 0 || c == '\n')
            break;
        reported += c;
    }
    close(fds[0]);
    if (reported.empty()) {
        if (!number)
            std::fprintf(stderr, "XvfbServer: Xvfb did not report a display\n");
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return false;
    }
    display_ = ":" + reported;
    return true;
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
