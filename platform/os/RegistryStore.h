#pragma once
// The registry: one file of typed values under keys, shared by every process of the user.
// File: $ORVANTA_REGISTRY, else $XDG_CONFIG_HOME/orvanta/registry (else ~/.config/orvanta/registry).
// Key paths use "\\" between names, as on Windows; names compare case-insensitively and keep the
// case they were created with. Every change takes the file lock, reads the newest file, applies the
// change and replaces the file atomically, so concurrent writers lose nothing.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/com/HResult.h"

enum class RegistryRoot : uint8_t { LocalMachine, CurrentUser, ClassesRoot };
inline constexpr RegistryRoot HKEY_LOCAL_MACHINE = RegistryRoot::LocalMachine;
inline constexpr RegistryRoot HKEY_CURRENT_USER = RegistryRoot::CurrentUser;
inline constexpr RegistryRoot HKEY_CLASSES_ROOT = RegistryRoot::ClassesRoot;

// REG_SZ, REG_DWORD, REG_BINARY.
using RegistryValue = std::variant<std::string, uint32_t, std::vector<uint8_t>>;

// A consistent view of the whole store, for reads and for changes made in one atomic step.
class RegistryTree;

class RegistryStore {
public:
    // The store named by the environment at the time of the call.
    static RegistryStore Default();
    static std::filesystem::path DefaultPath();
    explicit RegistryStore(std::filesystem::path file);

    const std::filesystem::path& Path() const { return file_; }

    // Creates the key and any missing parents.
    HRESULT CreateKey(RegistryRoot root, std::string_view key);
    bool KeyExists(RegistryRoot root, std::string_view key) const;
    // Removes the key with all its subkeys and values; S_OK also when it was not there.
    HRESULT DeleteTree(RegistryRoot root, std::string_view key);

    // Sets a value, creating the key; the empty name is the key's default value.
    HRESULT SetValue(RegistryRoot root, std::string_view key, std::string_view name, RegistryValue value);
    HRESULT SetString(RegistryRoot root, std::string_view key, std::string_view name, std::string_view value);
    HRESULT SetDword(RegistryRoot root, std::string_view key, std::string_view name, uint32_t value);
    std::optional<RegistryValue> GetValue(RegistryRoot root, std::string_view key, std::string_view name) const;
    // Empty when the value is missing or not a string / not a DWORD.
    std::optional<std::string> GetString(RegistryRoot root, std::string_view key, std::string_view name) const;
    std::optional<uint32_t> GetDword(RegistryRoot root, std::string_view key, std::string_view name) const;
    HRESULT DeleteValue(RegistryRoot root, std::string_view key, std::string_view name);

    std::vector<std::string> EnumSubKeys(RegistryRoot root, std::string_view key) const;
    std::vector<std::string> EnumValueNames(RegistryRoot root, std::string_view key) const;

    // Several changes in one locked read-modify-write; the callback returns S_OK to commit.
    HRESULT Update(const std::function<HRESULT(RegistryTree&)>& change);
    // A snapshot for several reads.
    HRESULT Read(const std::function<void(const RegistryTree&)>& reader) const;

private:
    std::filesystem::path file_;
};
