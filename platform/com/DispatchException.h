#pragma once
// How a dispatch handler fails. Both are caught by the Invoke that ran the handler, in the same
// module, and never cross a module boundary.
#include <exception>
#include <string>

#include "platform/com/AutomationTypes.h"

// Invoke returns `hr` (for example DISP_E_OVERFLOW, E_INVALIDARG, CTL_E_SETNOTSUPPORTED).
class DispatchError : public std::exception {
public:
    explicit DispatchError(HRESULT hr) : hr_(hr) {}
    HRESULT Result() const { return hr_; }
    const char* what() const noexcept override { return "dispatch error"; }

private:
    HRESULT hr_;
};

// An automation exception: Invoke returns DISP_E_EXCEPTION and fills the caller's EXCEPINFO.
class DispatchException : public std::exception {
public:
    explicit DispatchException(SCODE scode, std::string description = {}, std::string source = {})
        : scode_(scode), description_(std::move(description)), source_(std::move(source)) {}
    SCODE Scode() const { return scode_; }
    const std::string& Description() const { return description_; }
    const std::string& Source() const { return source_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    SCODE scode_;
    std::string description_;
    std::string source_;
};
