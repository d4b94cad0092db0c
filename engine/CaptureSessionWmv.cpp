// WMV output and the broadcast helper: the system profiles the control lists, custom profile
// files, the ASF writer's configuration and the start block that tells the helper what to serve.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

#include "engine/CaptureSession.h"
#include "engine/HelperBlocks.h"
#include "platform/wmf/WmfInterfaces.h"
#include "platform/os/WindowMessages.h"

namespace {
// What the platform answers for a profile path that is no disk file (a folder, a pipe, a device).
constexpr HRESULT kNotADiskFile = MakeHResult(0xC00D001C);
// How long a just-launched helper may take to open its window.
constexpr auto kHelperStartupWait = std::chrono::seconds(5);
// The profile reader refuses texts longer than 153600 UTF-16 units; a file far beyond that is
// refused before it is read into memory.
constexpr off_t kMaxProfileFileBytes = 1 << 20;

// The wait cursor while the profiles are walked.
class WaitCursor {
public:
    WaitCursor() {
        if (qApp) QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~WaitCursor() {
        if (qApp) QApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

private:
    int fd_;
};

// A name or description, asked for its length first.
template <class Getter>
HRESULT ReadProfileText(Getter get, std::string& out) {
    DWORD length = 0;
    HRESULT hr = get(nullptr, &length);
    if (FAILED(hr)) return hr;
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    hr = get(buffer.data(), &length);
    if (FAILED(hr)) return hr;
    out = buffer.data();
    return S_OK;
}

// Counts the profile's audio and video streams, reading each one's media type as it goes.
HRESULT CountStreams(IWMProfile* profile, int* audio, int* video) {
    *audio = *video = 0;
    DWORD count = 0;
    HRESULT hr = profile->GetStreamCount(&count);
    if (FAILED(hr)) return hr;
    for (DWORD s = 0; s < count; ++s) {
        ComPtr<IWMStreamConfig> stream;
        hr = profile->GetStream(s, stream.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
        Guid type{};
        hr = stream->GetStreamType(&type);
        if (FAILED(hr)) return hr;
        if (type == WMMEDIATYPE_Audio) ++*audio;
        else if (type == WMMEDIATYPE_Video) ++*video;
        else continue;
        ComPtr<IWMMediaProps> props = QueryAs<IWMMediaProps>(stream.Get());
        if (!props) return E_NOINTERFACE;
        DWORD size = 0;
        hr = props->GetMediaType(nullptr, &size);
        if (FAILED(hr)) return hr;
        WM_MEDIA_TYPE mediaType;
        hr = props->GetMediaType(&mediaType, &size);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}
}  // namespace

HRESULT CCaptureSession::EnumerateWmvProfiles(WmvProfileList& profiles) {
    WaitCursor wait;
    ComPtr<IWMProfileManager> manager;
    HRESULT hr = WMCreateProfileManager(manager.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    ComPtr<IWMProfileManager2> manager2 = QueryAs<IWMProfileManager2>(manager.Get());
    if (!manager2) return E_NOINTERFACE;
    hr = manager2->SetSystemProfileVersion(WMT_VER_8_0);
    if (FAILED(hr)) return hr;
    DWORD count = 0;
    hr = manager2->GetSystemProfileCount(&count);
    if (FAILED(hr)) return hr;

    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IWMProfile> profile;
        hr = manager2->LoadSystemProfile(i, profile.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
        int audio = 0, video = 0;
        hr = CountStreams(profile.Get(), &audio, &video);
        if (FAILED(hr)) return hr;
        if (audio != 1 || video != 1) continue;

        WmvProfileEntry entry;
        hr = ReadProfileText([&](char* b, DWORD* n) { return profile->GetName(b, n); }, entry.name);
        if (FAILED(hr)) return hr;
        hr = ReadProfileText([&](char* b, DWORD* n) { return profile->GetDescription(b, n); }, entry.description);
        if (FAILED(hr)) return hr;
        if (ComPtr<IWMProfile2> profile2 = QueryAs<IWMProfile2>(profile.Get())) {
            hr = profile2->GetProfileID(&entry.id);
            if (FAILED(hr)) return hr;
        }
        profiles.push_back(std::move(entry));
    }
    return S_OK;
}

HRESULT CCaptureSession::LoadCustomProfile(const char* fileName, IWMProfile** profile) {
    if (!fileName || !profile) return E_POINTER;
    *profile = nullptr;
    ComPtr<IWMProfileManager> manager;
    HRESULT hr = WMCreateProfileManager(manager.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;

    // Non-blocking, so that opening a FIFO cannot hang the UI thread; the file type check follows.
    FileDescriptor file(open(fileName, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.Get() < 0) return HResultFromLastErrno();
    struct stat info {};
    if (fstat(file.Get(), &info) != 0) return HResultFromLastErrno();
    if (!S_ISREG(info.st_mode)) return kNotADiskFile;
    if (info.st_size > kMaxProfileFileBytes) return NS_E_INVALIDPROFILE;

    // Two zero bytes beyond the content terminate the UTF-16 text (an odd size gets a third).
    const size_t size = static_cast<size_t>(info.st_size);
    std::vector<char16_t> text((size + 3) / 2, u'\0');
    auto* bytes = reinterpret_cast<char*>(text.data());
    size_t done = 0;
    while (done < size) {
        ssize_t n = read(file.Get(), bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return HResultFromLastErrno();
        if (n == 0) break;  // the file shrank meanwhile: what was there is the text
        done += static_cast<size_t>(n);
    }
    return manager->LoadProfileByData(text.data(), profile);
}

HRESULT CCaptureSession::ConfigureAsfWriter(IBaseFilter* writer) {
    ComPtr<IConfigAsfWriter> config = QueryAs<IConfigAsfWriter>(writer);
    if (!wmvCustomFileName.empty()) {
        ComPtr<IWMProfile> profile;
        HRESULT hr = LoadCustomProfile(wmvCustomFileName.c_str(), profile.ReleaseAndGetAddressOf());
        if (FAILED(hr)) return hr;
        if (!config) return E_NOINTERFACE;
        return config->ConfigureFilterUsingProfile(profile.Get());
    }
    // A profile the writer refuses (a zero identifier among them) leaves its default configuration.
    if (config) config->ConfigureFilterUsingProfileGuid(wmvProfileGuid);
    return S_OK;
}

void CCaptureSession::SendHelperStartBlock() {
    HelperStartFields fields;
    fields.ownerWindow = ownerWindow;
    fields.port = broadcastPort;
    fields.maxClients = maxClients;
    fields.file = wmvFileName;
    fields.publishingUrl = publishingUrl;
    // The graph build refused texts that do not fit; never send a cut-off path.
    std::optional<HelperStartBlock> block = BuildHelperStartBlock(fields);
    if (!block) return;
    // The helper launched by this start needs a moment to open its window; a block sent before
    // that would be lost and the broadcast would silently never begin. A helper that never shows
    // up still costs only this bounded wait.
    WaitForLaunchedHelper();
    SendToHelper(kHelperCopyDataTag, kHelperStartBlockSize, block->data());
}

void CCaptureSession::WaitForLaunchedHelper() {
    if (!helperLaunched_) return;
    const auto limit = std::chrono::steady_clock::now() + kHelperStartupWait;
    while (FindWindow(kHelperWindowClass, nullptr) == HWND_NONE && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    helperLaunched_ = false;  // its window is there, or it never will be
}

void CCaptureSession::SendToHelper(ULONG_PTR dwData, DWORD count, const void* data) {
    HWND helper = FindWindow(kHelperWindowClass, nullptr);
    if (helper == HWND_NONE) return;
    COPYDATASTRUCT copy;
    copy.dwData = dwData;
    copy.cbData = count;
    copy.lpData = const_cast<void*>(data);
    SendMessage(helper, WM_COPYDATA, mainWindow, reinterpret_cast<LPARAM>(&copy));
}
