#pragma once
// The registry in memory: three roots, each a tree of keys holding typed values. Names compare
// case-insensitively (ASCII letters only; other bytes compare exactly) and keep the case they were
// created with. Key paths use "\\" between names; a name may hold any other byte.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/os/RegistryStore.h"

// Deeper paths are refused, so that walking a tree (and a hostile file) cannot exhaust the stack.
inline constexpr size_t kMaxRegistryDepth = 512;

// Orders names the way the registry compares them.
struct RegistryNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const;
};
bool RegistryNamesEqual(std::string_view a, std::string_view b);

class RegistryKey {
public:
    explicit RegistryKey(std::string name) : name_(std::move(name)) {}
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    const std::string& Name() const { return name_; }

    RegistryKey* FindSubKey(std::string_view name);
    const RegistryKey* FindSubKey(std::string_view name) const;
    // Returns the existing subkey of that name (any case) or a new one.
    RegistryKey& CreateSubKey(std::string_view name);
    bool DeleteSubKey(std::string_view name);
    // Subkeys in name order.
    std::vector<std::string> SubKeyNames() const;
    std::vector<const RegistryKey*> SubKeys() const;

    const RegistryValue* FindValue(std::string_view name) const;
    // Replaces the value of that name (keeping the name's first case) or appends a new one.
    void SetValue(std::string_view name, RegistryValue value);
    bool DeleteValue(std::string_view name);
    // Values in the order they were first set.
    const std::vector<std::pair<std::string, RegistryValue>>& Values() const { return values_; }

    bool IsEmpty() const { return subKeys_.empty() && values_.empty(); }
    void Clear();

private:
    std::string name_;
    std::map<std::string, std::unique_ptr<RegistryKey>, RegistryNameLess> subKeys_;
    std::vector<std::pair<std::string, RegistryValue>> values_;
};

class RegistryTree {
public:
    RegistryTree();
    RegistryTree(const RegistryTree&) = delete;
    RegistryTree& operator=(const RegistryTree&) = delete;
    RegistryTree(RegistryTree&&) noexcept = default;
    RegistryTree& operator=(RegistryTree&&) noexcept = default;

    RegistryKey& Root(RegistryRoot root);
    const RegistryKey& Root(RegistryRoot root) const;

    // The empty path names the root itself. Paths with empty names ("a\\\\b", "\\a") or more
    // than kMaxRegistryDepth names name no key.
    RegistryKey* Find(RegistryRoot root, std::string_view key);
    const RegistryKey* Find(RegistryRoot root, std::string_view key) const;
    // Null when the path is malformed.
    RegistryKey* Create(RegistryRoot root, std::string_view key);
    // False when the key was not there. A root cannot be deleted.
    bool DeleteTree(RegistryRoot root, std::string_view key);

    // Convenience forms of the above, with the store's meanings.
    HRESULT SetValue(RegistryRoot root, std::string_view key, std::string_view name,
                     RegistryValue value);
    const RegistryValue* GetValue(RegistryRoot root, std::string_view key,
                                  std::string_view name) const;
    std::optional<std::string> GetString(RegistryRoot root, std::string_view key,
                                         std::string_view name) const;
    std::optional<uint32_t> GetDword(RegistryRoot root, std::string_view key,
                                     std::string_view name) const;
    bool DeleteValue(RegistryRoot root, std::string_view key, std::string_view name);
    std::vector<std::string> EnumSubKeys(RegistryRoot root, std::string_view key) const;
    std::vector<std::string> EnumValueNames(RegistryRoot root, std::string_view key) const;

    bool IsEmpty() const;

private:
    std::unique_ptr<RegistryKey> roots_[3];
};

// The parts of a key path; empty when the path is malformed or names the root (check with
// IsValidRegistryPath).
std::vector<std::string_view> SplitRegistryPath(std::string_view key);
bool IsValidRegistryPath(std::string_view key);
const char* RegistryRootName(RegistryRoot root);
std::optional<RegistryRoot> RegistryRootFromName(std::string_view name);
