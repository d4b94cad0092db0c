#pragma once
// A component file loaded and registered, as the program's start-up registration does it, for
// the tests and the test helper programs that create its classes.
#include <filesystem>
#include <string>

#include "platform/base/Log.h"
#include "platform/com/ModuleLoader.h"
#include "platform/com/Unknown.h"

namespace testing_support {

// Empty when the file is loaded and registered; otherwise what went wrong.
inline std::string RegisterModuleFile(const std::filesystem::path& file) {
    HMODULE module = nullptr;
    if (FAILED(LoadModule(file, module))) return file.string() + ": " + LastModuleError();
    auto registerServer = GetProcAddressAs<DllRegisterServerFn>(module, "DllRegisterServer");
    if (!registerServer) return file.string() + ": no DllRegisterServer";
    const HRESULT hr = registerServer();
    return hr == S_OK ? std::string() : file.string() + ": DllRegisterServer gave " + HResultText(hr);
}

}  // namespace testing_support
