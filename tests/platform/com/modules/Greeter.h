#pragma once
// The class of the test module GreeterModule.so, as its clients see it: only this header, no
// link-time dependency on the module.
#include "platform/com/Unknown.h"

struct IGreeter : IUnknown {
    static constexpr IID iid = MakeGuid("{5B0D2C7E-3F41-4A9B-8E62-1D7C9A0F4B31}");
    virtual HRESULT Add(LONG a, LONG b, LONG* sum) = 0;
    // Writes "Hello, <name>!" into buffer, cut to fit and always terminated.
    virtual HRESULT Greet(const char* name, char* buffer, ULONG size) = 0;
    // The module's live objects (factories included), as its DllCanUnloadNow counts them.
    virtual LONG ModuleObjects() = 0;

protected:
    ~IGreeter() = default;
};

inline constexpr CLSID CLSID_TestGreeter = MakeGuid("{5B0D2C7E-3F41-4A9B-8E62-1D7C9A0F4B30}");
inline constexpr Guid LIBID_TestGreeter = MakeGuid("{5B0D2C7E-3F41-4A9B-8E62-1D7C9A0F4B32}");
inline constexpr const char* kTestGreeterProgId = "Orvanta.TestGreeter.1";
inline constexpr const char* kTestGreeterIndependentProgId = "Orvanta.TestGreeter";
inline constexpr const char* kTestGreeterTypeName = "Orvanta Test Greeter";
inline constexpr const char* kTestGreeterLibraryHelp = "Orvanta Test Greeter Library";
inline constexpr const char* kTestGreeterFilterName = "Test Greeter Filter";
inline constexpr DWORD kTestGreeterMiscStatus = 0x20191;
