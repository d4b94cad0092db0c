#pragma once
// The registry: one file of typed values under keys, shared by every process of the user.
// File: $ORVANTA_REGISTRY, else $XDG_CONFIG_HOME/orvanta/registry (else
// ~/.config/orvanta/registry). Key paths use "\\" between names, as on Windows; names compare
// case-insensitively and keep the case they were created with. Every change takes the file lock,
// reads the newest file, applies the change and replaces the file atomically, so concurrent writers
// lose nothing.
//
// Locking: "<file>.lock" beside the store (e.g. "registry.lock") carries an exclusive flock while
// a change is read, applied and renamed into place (written to a temporary file in the same folder
// and fsynced first), and a shared flock while the store is read. A missing file reads as empty.
// The text form is described in RegistryFormat.h.
//
// A corrupt file: every read fails with REGISTRY_E_CORRUPT and names the file and line on stderr;
// the file is left as it is. The first change after that moves the file aside to
// "<file>.corrupt-YYYYMMDD-HHMMSS" (never over an earlier one), says so on stderr, and applies
// the change to an empty registry. When the file cannot be moved aside, the change fails with
// REGISTRY_E_CORRUPT and nothing is lost.
//
// The callbacks of Update and Read must not call a store: such calls (which would wait for the
// lock the callback's own call holds) fail with E_UNEXPECTED.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/base/HResult.h"

enum class RegistryRoot : uint8_t { LocalMachine, CurrentUser, ClassesRoot };
inline constexpr RegistryRoot HKEY_LOCAL_MACHINE = RegistryRoot::LocalMachine;
inline constexpr RegistryRoot HKEY_CURRENT_USER = RegistryRoot::CurrentUser;
inline constexpr RegistryRoot HKEY_CLASSES_ROOT = RegistryRoot::ClassesRoot;

// REG_SZ, REG_DWORD, REG_BINARY.
using RegistryValue = std::variant<std::string, uint32_t, std::vector<uint8_t>>;

// HRESULT_FROM_WIN32(ERROR_REGISTRY_CORRUPT): the store file cannot be read as a registry.
inline constexpr HRESULT REGISTRY_E_CORRUPT = MakeHResult(0x800703F7);

// A consistent view of the whole store, for reads and for changes made in one atomic step.
class RegistryTree;

class RegistryStore {
public:
    // The store named by the environment at the time of the call.
    static RegistryStore Default();
    static std::filesystem::path DefaultPath();
    explicit RegistryStore(std::filesystem::path file);

    const std::filesystem::path& Path() const { return file_; }
    std::filesystem::path LockPath() const;

    // Creates the key and any missing parents. Malformed paths (empty names) give E_INVALIDARG.
    HRESULT CreateKey(RegistryRoot root, std::string_view key);
    bool KeyExists(RegistryRoot root, std::string_view key) const;
    // Removes the key with all its subkeys and values; S_OK also when it was not there. A root
    // (empty path) cannot be removed: E_INVALIDARG.
    HRESULT DeleteTree(RegistryRoot root, std::string_view key);

    // Sets a value, creating the key; the empty name is the key's default value.
    HRESULT SetValue(RegistryRoot root, std::string_view key, std::string_view name,
                     RegistryValue value);
    HRESULT SetString(RegistryRoot root, std::string_view key, std::string_view name,
                      std::string_view value);
    HRESULT SetDword(RegistryRoot root, std::string_view key, std::string_view name,
                     uint32_t value);
    HRESULT SetBinary(RegistryRoot root, std::string_view key, std::string_view name,
                      std::vector<uint8_t> value);
    std::optional<RegistryValue> GetValue(RegistryRoot root, std::string_view key,
                                          std::string_view name) const;
    // Empty when the value is missing or not a string / not a DWORD / not binary.
    std::optional<std::string> GetString(RegistryRoot root, std::string_view key,
                                         std::string_view name) const;
    std::optional<uint32_t> GetDword(RegistryRoot root, std::string_view key,
                                     std::string_view name) const;
    std::optional<std::vector<uint8_t>> GetBinary(RegistryRoot root, std::string_view key,
                                                  std::string_view name) const;
    // S_OK when removed, S_FALSE when there was no such value.
    HRESULT DeleteValue(RegistryRoot root, std::string_view key, std::string_view name);

    // Subkeys in name order; values in the order they were first set.
    std::vector<std::string> EnumSubKeys(RegistryRoot root, std::string_view key) const;
    std::vector<std::string> EnumValueNames(RegistryRoot root, std::string_view key) const;

    // Several changes in one locked read-modify-write. The callback returns S_OK to commit; any
    // other result leaves the file untouched and is returned (S_FALSE: nothing to change).
    HRESULT Update(const std::function<HRESULT(RegistryTree&)>& change);
    // A snapshot for several reads. REGISTRY_E_CORRUPT (reader not called) for a corrupt file.
    HRESULT Read(const std::function<void(const RegistryTree&)>& reader) const;

private:
    std::filesystem::path file_;
};
