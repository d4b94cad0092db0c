#pragma once
// Loading module files: the LoadLibrary / GetProcAddress / FreeLibrary trio that start-up
// registration uses, and the module path of a piece of code, which a module's DllRegisterServer
// writes under InprocServer32.
#include <filesystem>
#include <string>

#include "platform/base/HResult.h"

using HMODULE = void*;

// HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND): the module exports no such entry.
inline constexpr HRESULT E_PROC_NOT_FOUND = MakeHResult(0x8007007F);

// dlopen with RTLD_NOW | RTLD_LOCAL: every symbol resolves at load and none leaks into other
// modules. Null on failure; LastModuleError() then tells why.
HMODULE LoadLibrary(const std::filesystem::path& file);
void* GetProcAddress(HMODULE module, const char* name);
// TRUE when the handle was open; the module stays mapped while other loads hold it.
BOOL FreeLibrary(HMODULE module);

// As LoadLibrary, with the result the class registry reports: CO_E_DLLNOTFOUND when the file is
// not there, CO_E_ERRORINDLL when it is there but cannot be loaded.
HRESULT LoadModule(const std::filesystem::path& file, HMODULE& module);

// The reason of this thread's last failed load or lookup, for messages.
std::string LastModuleError();

// The entry `name` of `module` as a function pointer of type Fn, or null.
template <class Fn>
Fn GetProcAddressAs(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(GetProcAddress(module, name));
}

// The absolute path of the file (module or executable) that holds `address`; empty when none does.
std::filesystem::path ModulePathOf(const void* address);
// The running executable.
std::filesystem::path ExecutablePath();
