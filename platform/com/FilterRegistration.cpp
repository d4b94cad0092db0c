#include "platform/com/FilterRegistration.h"

#include <algorithm>
#include <optional>

#include "platform/os/RegistryStore.h"
#include "platform/os/RegistryTree.h"

namespace {

constexpr RegistryRoot kRoot = HKEY_CLASSES_ROOT;

std::string InstanceKey(const CLSID& category) {
    return "CLSID\\" + category.ToString() + "\\Instance";
}

class Writer {
public:
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void U16(uint16_t v) {
        bytes_.push_back(static_cast<uint8_t>(v));
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
    }
    void Text(const std::string& text) {
        U32(static_cast<uint32_t>(text.size()));
        bytes_.insert(bytes_.end(), text.begin(), text.end());
    }
    void GuidBytes(const Guid& g) {
        U32(g.data1);
        U16(g.data2);
        U16(g.data3);
        bytes_.insert(bytes_.end(), g.data4.begin(), g.data4.end());
    }
    std::vector<uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

// Reads from untrusted bytes: every read checks what is left.
class Reader {
public:
    explicit Reader(std::span<const uint8_t> data) : data_(data) {}
    bool U32(uint32_t& v) {
        if (Left() < 4) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(data_[pos_++]) << (8 * i);
        return true;
    }
    bool U16(uint16_t& v) {
        if (Left() < 2) return false;
        v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return true;
    }
    bool Text(std::string& text) {
        uint32_t length = 0;
        if (!U32(length) || Left() < length) return false;
        text.assign(reinterpret_cast<const char*>(data_.data() + pos_), length);
        pos_ += length;
        return true;
    }
    bool GuidBytes(Guid& g) {
        if (!U32(g.data1) || !U16(g.data2) || !U16(g.data3) || Left() < g.data4.size())
            return false;
        std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(pos_), g.data4.size(),
                    g.data4.begin());
        pos_ += g.data4.size();
        return true;
    }
    size_t Left() const { return data_.size() - pos_; }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

// Smallest encodings, to refuse counts that the remaining bytes cannot hold before reserving.
constexpr size_t kMinPinBytes = 4 + 4 + 4 + 16 + 4;
constexpr size_t kMediaTypeBytes = 32;

}  // namespace

std::vector<uint8_t> EncodeFilterData(DWORD merit, const std::vector<FilterPinRegistration>& pins) {
    Writer out;
    out.U32(kFilterDataVersion);
    out.U32(merit);
    out.U32(static_cast<uint32_t>(pins.size()));
    for (const FilterPinRegistration& pin : pins) {
        out.U32(pin.flags);
        out.Text(pin.name);
        out.Text(pin.connectsToPin);
        out.GuidBytes(pin.category);
        out.U32(static_cast<uint32_t>(pin.mediaTypes.size()));
        for (const FilterMediaTypeRegistration& type : pin.mediaTypes) {
            out.GuidBytes(type.majorType);
            out.GuidBytes(type.subType);
        }
    }
    return out.Take();
}

bool DecodeFilterData(std::span<const uint8_t> data, DWORD& merit,
                      std::vector<FilterPinRegistration>& pins) {
    Reader in(data);
    uint32_t version = 0;
    uint32_t pinCount = 0;
    if (!in.U32(version) || version != kFilterDataVersion || !in.U32(merit) || !in.U32(pinCount)) {
        return false;
    }
    if (pinCount > in.Left() / kMinPinBytes) return false;
    std::vector<FilterPinRegistration> read(pinCount);
    for (FilterPinRegistration& pin : read) {
        uint32_t typeCount = 0;
        if (!in.U32(pin.flags) || !in.Text(pin.name) || !in.Text(pin.connectsToPin) ||
            !in.GuidBytes(pin.category) || !in.U32(typeCount) ||
            typeCount > in.Left() / kMediaTypeBytes) {
            return false;
        }
        pin.mediaTypes.resize(typeCount);
        for (FilterMediaTypeRegistration& type : pin.mediaTypes) {
            if (!in.GuidBytes(type.majorType) || !in.GuidBytes(type.subType)) return false;
        }
    }
    if (in.Left() != 0) return false;
    pins = std::move(read);
    return true;
}

HRESULT RegisterFilter(const FilterRegistration& filter, const CLSID& category) {
    if (filter.clsid.IsNull()) return E_INVALIDARG;
    std::vector<uint8_t> data = EncodeFilterData(filter.merit, filter.pins);
    HRESULT hr = RegistryStore::Default().Update([&](RegistryTree& tree) {
        RegistryKey* key =
            tree.Create(kRoot, InstanceKey(category) + "\\" + filter.clsid.ToString());
        if (!key) return E_INVALIDARG;
        key->SetValue("FriendlyName", filter.friendlyName);
        key->SetValue("CLSID", filter.clsid.ToString());
        key->SetValue("FilterData", data);
        return S_OK;
    });
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterFilter(const CLSID& filter, const CLSID& category) {
    HRESULT hr = RegistryStore::Default().Update([&](RegistryTree& tree) {
        return tree.DeleteTree(kRoot, InstanceKey(category) + "\\" + filter.ToString()) ? S_OK
                                                                                        : S_FALSE;
    });
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_CLASS;
}

std::vector<FilterRegistration> EnumRegisteredFilters(const CLSID& category, DWORD minimumMerit) {
    std::vector<FilterRegistration> filters;
    RegistryStore::Default().Read([&](const RegistryTree& tree) {
        const RegistryKey* instances = tree.Find(kRoot, InstanceKey(category));
        if (!instances) return;
        for (const RegistryKey* key : instances->SubKeys()) {
            const RegistryValue* clsidValue = key->FindValue("CLSID");
            const auto* clsidText = clsidValue ? std::get_if<std::string>(clsidValue) : nullptr;
            const RegistryValue* data = key->FindValue("FilterData");
            const auto* bytes = data ? std::get_if<std::vector<uint8_t>>(data) : nullptr;
            std::optional<Guid> clsid = clsidText ? Guid::Parse(*clsidText) : std::nullopt;
            FilterRegistration filter;
            if (!clsid || !bytes || !DecodeFilterData(*bytes, filter.merit, filter.pins)) continue;
            if (filter.merit < minimumMerit) continue;
            filter.clsid = *clsid;
            if (const RegistryValue* name = key->FindValue("FriendlyName")) {
                if (const auto* text = std::get_if<std::string>(name)) filter.friendlyName = *text;
            }
            filters.push_back(std::move(filter));
        }
    });
    std::stable_sort(filters.begin(), filters.end(),
                     [](const FilterRegistration& a, const FilterRegistration& b) {
                         if (a.merit != b.merit) return a.merit > b.merit;
                         return a.friendlyName < b.friendlyName;
                     });
    return filters;
}
