#pragma once
// The out-string convention of the profile interfaces: `length` in characters with the
// terminating zero; a null buffer only asks for the length.
#include <cstring>
#include <string>

#include "platform/wmf/WmfInterfaces.h"

template <class Length>
HRESULT CopyName(const std::string& text, char* buffer, Length* length) {
    if (!length) return E_POINTER;
    size_t needed = text.size() + 1;
    if (needed > static_cast<size_t>(static_cast<Length>(~Length{0}))) return E_UNEXPECTED;
    if (!buffer) {
        *length = static_cast<Length>(needed);
        return S_OK;
    }
    if (*length < needed) {
        *length = static_cast<Length>(needed);
        return ASF_E_BUFFERTOOSMALL;
    }
    std::memcpy(buffer, text.c_str(), needed);
    *length = static_cast<Length>(needed);
    return S_OK;
}
