#include "platform/os/RegistryStore.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <system_error>

#include "platform/os/RegistryFile.h"
#include "platform/os/RegistryFormat.h"
#include "platform/os/RegistryTree.h"

namespace fs = std::filesystem;

namespace {

// Set while an Update or Read callback runs on this thread: a nested call would wait for the
// lock its own caller holds.
thread_local int callbackDepth = 0;

class CallbackScope {
public:
    CallbackScope() { ++callbackDepth; }
    ~CallbackScope() { --callbackDepth; }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;
};

bool RefuseNestedCall(const fs::path& file) {
    if (callbackDepth == 0) return false;
    std::fprintf(stderr, "orvanta: registry store %s called from inside its own callback\n",
                 file.c_str());
    return true;
}

const char* NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

// Reads and parses the store; REGISTRY_E_CORRUPT with `error` set when it does not parse.
HRESULT LoadTree(const fs::path& file, RegistryTree& tree, std::string& text,
                 RegistryParseError& error) {
    HRESULT hr = ReadWholeFile(file, text);
    if (FAILED(hr)) return hr;
    if (!ParseRegistry(text, tree, error)) return REGISTRY_E_CORRUPT;
    return S_OK;
}

void ReportCorrupt(const fs::path& file, const RegistryParseError& error) {
    std::fprintf(stderr, "orvanta: registry store %s is corrupt at line %zu: %s\n", file.c_str(),
                 error.line, error.message.c_str());
}

}  // namespace

RegistryStore RegistryStore::Default() {
    return RegistryStore(DefaultPath());
}

fs::path RegistryStore::DefaultPath() {
    if (const char* file = NonEmptyEnv("ORVANTA_REGISTRY")) return file;
    if (const char* config = NonEmptyEnv("XDG_CONFIG_HOME"); config && config[0] == '/') {
        return fs::path(config) / "orvanta" / "registry";
    }
    const char* home = NonEmptyEnv("HOME");
    if (!home) {
        if (const passwd* user = ::getpwuid(::getuid())) home = user->pw_dir;
    }
    return fs::path(home ? home : "/tmp") / ".config" / "orvanta" / "registry";
}

RegistryStore::RegistryStore(fs::path file) : file_(std::move(file)) {}

fs::path RegistryStore::LockPath() const {
    return fs::path(file_.string() + ".lock");
}

HRESULT RegistryStore::Update(const std::function<HRESULT(RegistryTree&)>& change) {
    if (RefuseNestedCall(file_)) return E_UNEXPECTED;
    std::error_code ec;
    fs::path folder = file_.parent_path();
    if (!folder.empty()) {
        fs::create_directories(folder, ec);
        if (ec) return HResultFromErrno(ec.value());
    }
    RegistryFileLock lock;
    HRESULT hr = lock.Acquire(LockPath(), RegistryFileLock::Mode::Exclusive);
    if (FAILED(hr)) return hr;

    RegistryTree tree;
    std::string before;
    RegistryParseError error;
    hr = LoadTree(file_, tree, before, error);
    if (hr == REGISTRY_E_CORRUPT) {
        ReportCorrupt(file_, error);
        fs::path aside;
        if (FAILED(MoveFileAside(file_, aside))) {
            std::fprintf(stderr, "orvanta: registry store %s cannot be moved aside; not changed\n",
                         file_.c_str());
            return REGISTRY_E_CORRUPT;
        }
        std::fprintf(stderr, "orvanta: the corrupt registry store was kept as %s; starting empty\n",
                     aside.c_str());
        tree = RegistryTree();
        before.clear();
    } else if (FAILED(hr)) {
        return hr;
    }
    bool existed = hr == S_OK;

    {
        CallbackScope scope;
        hr = change(tree);
    }
    if (hr != S_OK) return hr;

    std::string after = FormatRegistry(tree);
    if (existed && after == before) return S_OK;
    return ReplaceFileAtomically(file_, after);
}

HRESULT RegistryStore::Read(const std::function<void(const RegistryTree&)>& reader) const {
    if (RefuseNestedCall(file_)) return E_UNEXPECTED;
    RegistryTree tree;
    std::error_code ec;
    if (fs::is_directory(file_.parent_path().empty() ? fs::path(".") : file_.parent_path(), ec)) {
        RegistryFileLock lock;
        HRESULT hr = lock.Acquire(LockPath(), RegistryFileLock::Mode::Shared);
        if (FAILED(hr)) return hr;
        std::string text;
        RegistryParseError error;
        hr = LoadTree(file_, tree, text, error);
        if (hr == REGISTRY_E_CORRUPT) ReportCorrupt(file_, error);
        if (FAILED(hr)) return hr;
    }
    CallbackScope scope;
    reader(tree);
    return S_OK;
}

HRESULT RegistryStore::CreateKey(RegistryRoot root, std::string_view key) {
    if (!IsValidRegistryPath(key)) return E_INVALIDARG;
    return Update([&](RegistryTree& tree) { return tree.Create(root, key) ? S_OK : E_INVALIDARG; });
}

bool RegistryStore::KeyExists(RegistryRoot root, std::string_view key) const {
    bool exists = false;
    Read([&](const RegistryTree& tree) { exists = tree.Find(root, key) != nullptr; });
    return exists;
}

HRESULT RegistryStore::DeleteTree(RegistryRoot root, std::string_view key) {
    if (key.empty() || !IsValidRegistryPath(key)) return E_INVALIDARG;
    HRESULT hr =
        Update([&](RegistryTree& tree) { return tree.DeleteTree(root, key) ? S_OK : S_FALSE; });
    return hr == S_FALSE ? S_OK : hr;
}

HRESULT RegistryStore::SetValue(RegistryRoot root, std::string_view key, std::string_view name,
                                RegistryValue value) {
    if (!IsValidRegistryPath(key)) return E_INVALIDARG;
    return Update(
        [&](RegistryTree& tree) { return tree.SetValue(root, key, name, std::move(value)); });
}

HRESULT RegistryStore::SetString(RegistryRoot root, std::string_view key, std::string_view name,
                                 std::string_view value) {
    return SetValue(root, key, name, std::string(value));
}

HRESULT RegistryStore::SetDword(RegistryRoot root, std::string_view key, std::string_view name,
                                uint32_t value) {
    return SetValue(root, key, name, value);
}

HRESULT RegistryStore::SetBinary(RegistryRoot root, std::string_view key, std::string_view name,
                                 std::vector<uint8_t> value) {
    return SetValue(root, key, name, std::move(value));
}

std::optional<RegistryValue> RegistryStore::GetValue(RegistryRoot root, std::string_view key,
                                                     std::string_view name) const {
    std::optional<RegistryValue> value;
    Read([&](const RegistryTree& tree) {
        if (const RegistryValue* found = tree.GetValue(root, key, name)) value = *found;
    });
    return value;
}

std::optional<std::string> RegistryStore::GetString(RegistryRoot root, std::string_view key,
                                                    std::string_view name) const {
    std::optional<RegistryValue> value = GetValue(root, key, name);
    if (auto* text = value ? std::get_if<std::string>(&*value) : nullptr) return std::move(*text);
    return std::nullopt;
}

std::optional<uint32_t> RegistryStore::GetDword(RegistryRoot root, std::string_view key,
                                                std::string_view name) const {
    std::optional<RegistryValue> value = GetValue(root, key, name);
    if (auto* number = value ? std::get_if<uint32_t>(&*value) : nullptr) return *number;
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> RegistryStore::GetBinary(RegistryRoot root,
                                                             std::string_view key,
                                                             std::string_view name) const {
    std::optional<RegistryValue> value = GetValue(root, key, name);
    if (auto* bytes = value ? std::get_if<std::vector<uint8_t>>(&*value) : nullptr) {
        return std::move(*bytes);
    }
    return std::nullopt;
}

HRESULT RegistryStore::DeleteValue(RegistryRoot root, std::string_view key, std::string_view name) {
    if (!IsValidRegistryPath(key)) return E_INVALIDARG;
    return Update(
        [&](RegistryTree& tree) { return tree.DeleteValue(root, key, name) ? S_OK : S_FALSE; });
}

std::vector<std::string> RegistryStore::EnumSubKeys(RegistryRoot root, std::string_view key) const {
    std::vector<std::string> names;
    Read([&](const RegistryTree& tree) { names = tree.EnumSubKeys(root, key); });
    return names;
}

std::vector<std::string> RegistryStore::EnumValueNames(RegistryRoot root,
                                                       std::string_view key) const {
    std::vector<std::string> names;
    Read([&](const RegistryTree& tree) { names = tree.EnumValueNames(root, key); });
    return names;
}
