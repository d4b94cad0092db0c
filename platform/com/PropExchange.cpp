#include "platform/com/PropExchange.h"

#include "platform/com/VariantConvert.h"

PropExchange::PropExchange() : loading_(false) {}

PropExchange::PropExchange(PropertyBag loaded) : loading_(true), bag_(std::move(loaded)) {}

bool PropExchange::Take(std::string_view key, VARTYPE type, Variant* value) const {
    const Variant* stored = bag_.Read(key);
    if (!stored) return false;
    return SUCCEEDED(VariantChangeType(value, stored, 0, type));
}

bool PropExchange::Put(std::string_view key, Variant value) {
    return SUCCEEDED(bag_.Write(key, std::move(value)));
}

void PropExchange::ExchangeVersion(DWORD version) {
    if (!loading_) {
        version_ = version;
        Put(kVersionKey, Variant(version));
        return;
    }
    Variant stored;
    version_ = Take(kVersionKey, VT_UI4, &stored) ? stored.UI4() : version;
}

bool PropExchange::Short(std::string_view key, int16_t& value, int16_t defaultValue) {
    if (!loading_) return Put(key, Variant(value));
    Variant stored;
    bool found = Take(key, VT_I2, &stored);
    value = found ? stored.I2() : defaultValue;
    return found;
}

bool PropExchange::Long(std::string_view key, int32_t& value, int32_t defaultValue) {
    if (!loading_) return Put(key, Variant(value));
    Variant stored;
    bool found = Take(key, VT_I4, &stored);
    value = found ? stored.I4() : defaultValue;
    return found;
}

bool PropExchange::Bool(std::string_view key, BOOL& value, BOOL defaultValue) {
    if (!loading_) return Put(key, Variant(value != 0));
    Variant stored;
    bool found = Take(key, VT_BOOL, &stored);
    value = found ? (stored.Bool() ? TRUE : FALSE) : defaultValue;
    return found;
}

bool PropExchange::String(std::string_view key, std::string& value, std::string_view defaultValue) {
    if (!loading_) return Put(key, Variant(value));
    Variant stored;
    bool found = Take(key, VT_BSTR, &stored);
    value = found ? stored.Bstr() : std::string(defaultValue);
    return found;
}

bool PropExchange::Color(std::string_view key, OLE_COLOR& value, OLE_COLOR defaultValue) {
    if (!loading_) return Put(key, Variant(static_cast<uint32_t>(value)));
    const Variant* stored = bag_.Read(key);
    int64_t bits = 0;
    // A colour is 32 bits whatever integer type holds it.
    if (stored && stored->Type() != VT_BOOL && stored->GetInteger(&bits)) {
        value = static_cast<OLE_COLOR>(bits);
        return true;
    }
    value = defaultValue;
    return false;
}

bool PropExchange::Float(std::string_view key, float& value, float defaultValue) {
    if (!loading_) return Put(key, Variant(value));
    Variant stored;
    bool found = Take(key, VT_R4, &stored);
    value = found ? stored.R4() : defaultValue;
    return found;
}

bool PropExchange::Double(std::string_view key, double& value, double defaultValue) {
    if (!loading_) return Put(key, Variant(value));
    Variant stored;
    bool found = Take(key, VT_R8, &stored);
    value = found ? stored.R8() : defaultValue;
    return found;
}

std::vector<uint8_t> PropExchange::Save(const std::function<void(PropExchange&)>& exchange) {
    PropExchange px;
    exchange(px);
    return px.bag_.Serialize();
}

HRESULT PropExchange::Load(const uint8_t* data, size_t size,
                           const std::function<void(PropExchange&)>& exchange) {
    PropertyBag bag;
    HRESULT hr = PropertyBag::Parse(data, size, &bag);
    if (FAILED(hr)) return hr;
    PropExchange px(std::move(bag));
    exchange(px);
    return S_OK;
}

void PropExchange::InitNew(const std::function<void(PropExchange&)>& exchange) {
    PropExchange px{PropertyBag()};
    exchange(px);
}
