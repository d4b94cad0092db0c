#pragma once
// A control's property exchange: one routine lists every persisted value with its key, type and
// default, and the same routine both saves and loads, depending on IsLoading():
//
//   void Camera::DoPropExchange(PropExchange& px) {
//       px.ExchangeVersion(PropExchange::MakeVersion(1, 0));
//       px.Short("Device", device_, 0);
//       px.String("Filename", fileName_, "");
//       px.Bool("CaptureAudio", captureAudio_, TRUE);
//       px.Color("TextColor", textColor_, 0x0000FF);
//   }
//
// Saving writes the values in call order; loading takes each key's stored value, converted to the
// asked type, and the default when the key is missing or its value does not convert. BOOL is
// stored as a boolean and loads as TRUE or FALSE.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/com/PropertyBag.h"

class PropExchange {
public:
    // An exchange that saves into a new bag.
    PropExchange();
    // An exchange that loads from `loaded` (an empty bag gives every default: a new control).
    explicit PropExchange(PropertyBag loaded);

    // Major in the high word, minor in the low word.
    static constexpr DWORD MakeVersion(WORD major, WORD minor) {
        return static_cast<DWORD>(major) << 16 | minor;
    }
    static constexpr WORD MajorOf(DWORD version) { return static_cast<WORD>(version >> 16); }
    static constexpr WORD MinorOf(DWORD version) { return static_cast<WORD>(version & 0xFFFF); }
    // The key under which the version is recorded.
    static constexpr const char* kVersionKey = "_Version";

    bool IsLoading() const { return loading_; }
    // Saving records `version`; loading reads the recorded one, `version` when none is recorded.
    void ExchangeVersion(DWORD version);
    DWORD GetVersion() const { return version_; }

    // Each returns true when the value was saved, or loaded from the bag; false when loading gave
    // the default.
    bool Short(std::string_view key, int16_t& value, int16_t defaultValue);
    bool Long(std::string_view key, int32_t& value, int32_t defaultValue);
    bool Bool(std::string_view key, BOOL& value, BOOL defaultValue);
    bool String(std::string_view key, std::string& value, std::string_view defaultValue);
    bool Color(std::string_view key, OLE_COLOR& value, OLE_COLOR defaultValue);
    bool Float(std::string_view key, float& value, float defaultValue);
    bool Double(std::string_view key, double& value, double defaultValue);

    // Saving: what was written so far.
    const PropertyBag& Bag() const { return bag_; }

    // Runs `exchange` as a save and returns the bytes.
    static std::vector<uint8_t> Save(const std::function<void(PropExchange&)>& exchange);
    // Parses `bytes` and runs `exchange` as a load; bytes that do not parse fail with the
    // PropertyBag::Parse result and `exchange` does not run, so nothing is half loaded.
    static HRESULT Load(const uint8_t* data, size_t size,
                        const std::function<void(PropExchange&)>& exchange);
    // A load from nothing: every value takes its default.
    static void InitNew(const std::function<void(PropExchange&)>& exchange);

private:
    // Loading: the stored value of `key` converted to `type`, or false.
    bool Take(std::string_view key, VARTYPE type, Variant* value) const;
    bool Put(std::string_view key, Variant value);

    bool loading_;
    PropertyBag bag_;
    DWORD version_ = 0;
};
