#include "platform/os/RegistryTree.h"

#include <algorithm>

namespace {
char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
}  // namespace

bool RegistryNameLess::operator()(std::string_view a, std::string_view b) const {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(Fold(a[i]));
        auto y = static_cast<unsigned char>(Fold(b[i]));
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

bool RegistryNamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

RegistryKey* RegistryKey::FindSubKey(std::string_view name) {
    auto it = subKeys_.find(name);
    return it == subKeys_.end() ? nullptr : it->second.get();
}

const RegistryKey* RegistryKey::FindSubKey(std::string_view name) const {
    auto it = subKeys_.find(name);
    return it == subKeys_.end() ? nullptr : it->second.get();
}

RegistryKey& RegistryKey::CreateSubKey(std::string_view name) {
    auto it = subKeys_.find(name);
    if (it != subKeys_.end()) return *it->second;
    std::string owned(name);
    auto key = std::make_unique<RegistryKey>(owned);
    RegistryKey& ref = *key;
    subKeys_.emplace(std::move(owned), std::move(key));
    return ref;
}

bool RegistryKey::DeleteSubKey(std::string_view name) {
    auto it = subKeys_.find(name);
    if (it == subKeys_.end()) return false;
    subKeys_.erase(it);
    return true;
}

std::vector<std::string> RegistryKey::SubKeyNames() const {
    std::vector<std::string> names;
    names.reserve(subKeys_.size());
    for (const auto& [name, key] : subKeys_) names.push_back(name);
    return names;
}

std::vector<const RegistryKey*> RegistryKey::SubKeys() const {
    std::vector<const RegistryKey*> keys;
    keys.reserve(subKeys_.size());
    for (const auto& entry : subKeys_) keys.push_back(entry.second.get());
    return keys;
}

const RegistryValue* RegistryKey::FindValue(std::string_view name) const {
    for (const auto& [valueName, value] : values_) {
        if (RegistryNamesEqual(valueName, name)) return &value;
    }
    return nullptr;
}

void RegistryKey::SetValue(std::string_view name, RegistryValue value) {
    for (auto& [valueName, existing] : values_) {
        if (RegistryNamesEqual(valueName, name)) {
            existing = std::move(value);
            return;
        }
    }
    values_.emplace_back(std::string(name), std::move(value));
}

bool RegistryKey::DeleteValue(std::string_view name) {
    auto it = std::find_if(values_.begin(), values_.end(), [&](const auto& entry) {
        return RegistryNamesEqual(entry.first, name);
    });
    if (it == values_.end()) return false;
    values_.erase(it);
    return true;
}

void RegistryKey::Clear() {
    subKeys_.clear();
    values_.clear();
}

bool IsValidRegistryPath(std::string_view key) {
    if (key.empty()) return true;
    size_t start = 0;
    size_t depth = 0;
    while (true) {
        size_t end = key.find('\\', start);
        size_t length = (end == std::string_view::npos ? key.size() : end) - start;
        if (length == 0 || ++depth > kMaxRegistryDepth) return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

std::vector<std::string_view> SplitRegistryPath(std::string_view key) {
    std::vector<std::string_view> parts;
    if (!IsValidRegistryPath(key) || key.empty()) return parts;
    size_t start = 0;
    while (true) {
        size_t end = key.find('\\', start);
        if (end == std::string_view::npos) {
            parts.push_back(key.substr(start));
            return parts;
        }
        parts.push_back(key.substr(start, end - start));
        start = end + 1;
    }
}

const char* RegistryRootName(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case RegistryRoot::CurrentUser:
            return "HKEY_CURRENT_USER";
        case RegistryRoot::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
    }
    return "";
}

std::optional<RegistryRoot> RegistryRootFromName(std::string_view name) {
    for (RegistryRoot root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) {
        if (RegistryNamesEqual(name, RegistryRootName(root))) return root;
    }
    return std::nullopt;
}

RegistryTree::RegistryTree() {
    for (RegistryRoot root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) {
        roots_[static_cast<size_t>(root)] = std::make_unique<RegistryKey>(RegistryRootName(root));
    }
}

RegistryKey& RegistryTree::Root(RegistryRoot root) {
    return *roots_[static_cast<size_t>(root)];
}
const RegistryKey& RegistryTree::Root(RegistryRoot root) const {
    return *roots_[static_cast<size_t>(root)];
}

RegistryKey* RegistryTree::Find(RegistryRoot root, std::string_view key) {
    return const_cast<RegistryKey*>(std::as_const(*this).Find(root, key));
}

const RegistryKey* RegistryTree::Find(RegistryRoot root, std::string_view key) const {
    if (!IsValidRegistryPath(key)) return nullptr;
    const RegistryKey* node = &Root(root);
    for (std::string_view part : SplitRegistryPath(key)) {
        node = node->FindSubKey(part);
        if (!node) return nullptr;
    }
    return node;
}

RegistryKey* RegistryTree::Create(RegistryRoot root, std::string_view key) {
    if (!IsValidRegistryPath(key)) return nullptr;
    RegistryKey* node = &Root(root);
    for (std::string_view part : SplitRegistryPath(key)) node = &node->CreateSubKey(part);
    return node;
}

bool RegistryTree::DeleteTree(RegistryRoot root, std::string_view key) {
    auto parts = SplitRegistryPath(key);
    if (parts.empty()) return false;
    RegistryKey* parent = &Root(root);
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        parent = parent->FindSubKey(parts[i]);
        if (!parent) return false;
    }
    return parent->DeleteSubKey(parts.back());
}

HRESULT RegistryTree::SetValue(RegistryRoot root, std::string_view key, std::string_view name,
                               RegistryValue value) {
    RegistryKey* node = Create(root, key);
    if (!node) return E_INVALIDARG;
    node->SetValue(name, std::move(value));
    return S_OK;
}

const RegistryValue* RegistryTree::GetValue(RegistryRoot root, std::string_view key,
                                            std::string_view name) const {
    const RegistryKey* node = Find(root, key);
    return node ? node->FindValue(name) : nullptr;
}

std::optional<std::string> RegistryTree::GetString(RegistryRoot root, std::string_view key,
                                                   std::string_view name) const {
    const RegistryValue* value = GetValue(root, key, name);
    if (!value) return std::nullopt;
    if (const auto* text = std::get_if<std::string>(value)) return *text;
    return std::nullopt;
}

std::optional<uint32_t> RegistryTree::GetDword(RegistryRoot root, std::string_view key,
                                               std::string_view name) const {
    const RegistryValue* value = GetValue(root, key, name);
    if (!value) return std::nullopt;
    if (const auto* number = std::get_if<uint32_t>(value)) return *number;
    return std::nullopt;
}

bool RegistryTree::DeleteValue(RegistryRoot root, std::string_view key, std::string_view name) {
    RegistryKey* node = Find(root, key);
    return node && node->DeleteValue(name);
}

std::vector<std::string> RegistryTree::EnumSubKeys(RegistryRoot root, std::string_view key) const {
    const RegistryKey* node = Find(root, key);
    return node ? node->SubKeyNames() : std::vector<std::string>{};
}

std::vector<std::string> RegistryTree::EnumValueNames(RegistryRoot root,
                                                      std::string_view key) const {
    std::vector<std::string> names;
    if (const RegistryKey* node = Find(root, key)) {
        for (const auto& entry : node->Values()) names.push_back(entry.first);
    }
    return names;
}

bool RegistryTree::IsEmpty() const {
    for (const auto& root : roots_) {
        if (!root->IsEmpty()) return false;
    }
    return true;
}
