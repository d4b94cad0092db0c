#include "platform/com/PropertyBag.h"

#include <array>
#include <cstring>

#include "platform/com/MemberName.h"

namespace {

constexpr char kMagic[4] = {'O', 'P', 'R', 'B'};
constexpr uint16_t kFormat = 1;
constexpr size_t kHeaderSize = 4 + 2 + 4;
constexpr size_t kCrcSize = 4;
// Type, key length and the shortest key and value.
constexpr size_t kSmallestEntry = 2 + 2 + 1 + 1;

std::string Folded(std::string_view key) {
    std::string folded(key);
    for (char& c : folded) c = FoldAsciiCase(c);
    return folded;
}

bool IsStorableType(VARTYPE type) {
    switch (type) {
        case VT_I2:
        case VT_I4:
        case VT_UI4:
        case VT_BOOL:
        case VT_R4:
        case VT_R8:
        case VT_BSTR:
            return true;
        default:
            return false;
    }
}

class Writer {
public:
    void Bytes(const void* data, size_t size) {
        auto* p = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), p, p + size);
    }
    template <class T>
    void Little(T value) {
        for (size_t i = 0; i < sizeof(T); ++i)
            out_.push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
    }
    std::vector<uint8_t>& Out() { return out_; }

private:
    std::vector<uint8_t> out_;
};

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Left() const { return size_ - pos_; }
    bool Bytes(void* out, size_t size) {
        if (size > Left()) return false;
        if (size > 0) std::memcpy(out, data_ + pos_, size);
        pos_ += size;
        return true;
    }
    template <class T>
    bool Little(T* value) {
        if (sizeof(T) > Left()) return false;
        uint64_t v = 0;
        for (size_t i = 0; i < sizeof(T); ++i)
            v |= static_cast<uint64_t>(data_[pos_ + i]) << (8 * i);
        pos_ += sizeof(T);
        *value = static_cast<T>(v);
        return true;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

void WriteValue(Writer& w, const Variant& v) {
    switch (v.Type()) {
        case VT_I2:
            w.Little(static_cast<uint16_t>(v.I2()));
            break;
        case VT_I4:
            w.Little(static_cast<uint32_t>(v.I4()));
            break;
        case VT_UI4:
            w.Little(v.UI4());
            break;
        case VT_BOOL:
            w.Little(static_cast<uint8_t>(v.Bool() ? 1 : 0));
            break;
        case VT_R4: {
            float f = v.R4();
            uint32_t bits;
            std::memcpy(&bits, &f, sizeof bits);
            w.Little(bits);
            break;
        }
        case VT_R8: {
            double d = v.R8();
            uint64_t bits;
            std::memcpy(&bits, &d, sizeof bits);
            w.Little(bits);
            break;
        }
        case VT_BSTR:
            w.Little(static_cast<uint32_t>(v.Bstr().size()));
            w.Bytes(v.Bstr().data(), v.Bstr().size());
            break;
        default:
            break;
    }
}

bool ReadValue(Reader& r, VARTYPE type, Variant* v) {
    switch (type) {
        case VT_I2: {
            uint16_t x;
            if (!r.Little(&x)) return false;
            *v = Variant(static_cast<int16_t>(x));
            return true;
        }
        case VT_I4: {
            uint32_t x;
            if (!r.Little(&x)) return false;
            *v = Variant(static_cast<int32_t>(x));
            return true;
        }
        case VT_UI4: {
            uint32_t x;
            if (!r.Little(&x)) return false;
            *v = Variant(x);
            return true;
        }
        case VT_BOOL: {
            uint8_t x;
            if (!r.Little(&x) || x > 1) return false;
            *v = Variant(x == 1);
            return true;
        }
        case VT_R4: {
            uint32_t bits;
            if (!r.Little(&bits)) return false;
            float f;
            std::memcpy(&f, &bits, sizeof f);
            *v = Variant(f);
            return true;
        }
        case VT_R8: {
            uint64_t bits;
            if (!r.Little(&bits)) return false;
            double d;
            std::memcpy(&d, &bits, sizeof d);
            *v = Variant(d);
            return true;
        }
        case VT_BSTR: {
            uint32_t length;
            if (!r.Little(&length) || length > r.Left()) return false;
            std::string text(length, '\0');
            if (!r.Bytes(text.data(), length)) return false;
            *v = Variant(std::move(text));
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

HRESULT PropertyBag::Write(std::string_view key, Variant value) {
    if (key.empty() || key.size() > 0xFFFF || !IsStorableType(value.Type())) return E_INVALIDARG;
    std::string folded = Folded(key);
    auto it = index_.find(folded);
    if (it != index_.end()) {
        entries_[it->second].second = std::move(value);
        return S_OK;
    }
    index_.emplace(std::move(folded), entries_.size());
    entries_.emplace_back(std::string(key), std::move(value));
    return S_OK;
}

const Variant* PropertyBag::Read(std::string_view key) const {
    auto it = index_.find(Folded(key));
    return it == index_.end() ? nullptr : &entries_[it->second].second;
}

std::vector<uint8_t> PropertyBag::Serialize() const {
    Writer w;
    w.Bytes(kMagic, sizeof kMagic);
    w.Little(kFormat);
    w.Little(static_cast<uint32_t>(entries_.size()));
    for (const auto& [key, value] : entries_) {
        w.Little(static_cast<uint16_t>(value.Type()));
        w.Little(static_cast<uint16_t>(key.size()));
        w.Bytes(key.data(), key.size());
        WriteValue(w, value);
    }
    uint32_t crc = PropertyBagChecksum(w.Out().data(), w.Out().size());
    w.Little(crc);
    return std::move(w.Out());
}

HRESULT PropertyBag::Parse(const uint8_t* data, size_t size, PropertyBag* bag) {
    if (!bag || (!data && size > 0)) return E_INVALIDARG;
    if (size < kHeaderSize + kCrcSize || std::memcmp(data, kMagic, sizeof kMagic) != 0)
        return STG_E_INVALIDHEADER;
    Reader r(data, size - kCrcSize);
    char magic[4];
    uint16_t format = 0;
    uint32_t count = 0;
    r.Bytes(magic, sizeof magic);
    r.Little(&format);
    r.Little(&count);
    if (format != kFormat) return STG_E_INVALIDHEADER;

    Reader crcReader(data + size - kCrcSize, kCrcSize);
    uint32_t storedCrc = 0;
    crcReader.Little(&storedCrc);
    if (storedCrc != PropertyBagChecksum(data, size - kCrcSize)) return STG_E_DOCFILECORRUPT;
    if (count > r.Left() / kSmallestEntry) return STG_E_DOCFILECORRUPT;

    PropertyBag parsed;
    parsed.entries_.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t type = 0;
        uint16_t keyLength = 0;
        if (!r.Little(&type) || !r.Little(&keyLength) || keyLength == 0 || keyLength > r.Left()) {
            return STG_E_DOCFILECORRUPT;
        }
        std::string key(keyLength, '\0');
        r.Bytes(key.data(), keyLength);
        Variant value;
        if (!IsStorableType(type) || !ReadValue(r, type, &value)) return STG_E_DOCFILECORRUPT;
        if (parsed.Read(key)) return STG_E_DOCFILECORRUPT;  // one key twice: not written by us
        parsed.Write(key, std::move(value));
    }
    if (r.Left() != 0) return STG_E_DOCFILECORRUPT;
    *bag = std::move(parsed);
    return S_OK;
}

uint32_t PropertyBagChecksum(const uint8_t* data, size_t size) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}
