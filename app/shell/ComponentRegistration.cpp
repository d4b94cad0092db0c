#include "app/shell/ComponentRegistration.h"

#include <cstdio>

#include "platform/com/ModuleLoader.h"

namespace {

// The screen capture control joins the program folder once it is built; until then the
// screen recorder has nothing to drive and start-up goes on without it.
#ifdef ORVANTA_WITH_SCRIVEL
constexpr bool kScreenControlRequired = true;
#else
constexpr bool kScreenControlRequired = false;
#endif

}  // namespace

const std::vector<ComponentFile>& ComponentFiles() {
    static const std::vector<ComponentFile> files = {
        {"Grabwell.ocx", false, true},
        {"Lamina.dll", false, false},
        {"Pavisse.ax", true, false},
        {"Quorra.dll", true, false},
        {"Dunmore.dll", true, false},
        {"Calloway.dll", true, false},
        {"Scrivel.ocx", true, kScreenControlRequired},
        {"Torvane.dll", false, false},
        {"Airlume.ocx", true, false},
    };
    return files;
}

std::string ModuleFileName(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return name;
    std::string extension = name.substr(dot);
    if (extension == ".ocx" || extension == ".dll" || extension == ".ax")
        return name.substr(0, dot) + ".so";
    return name;
}

RegistrationResult RegisterComponents(const std::string& programFolder,
                                      const std::string& windowsFolder) {
    using RegisterServer = HRESULT (*)();
    RegistrationResult result;
    for (const ComponentFile& file : ComponentFiles()) {
        const std::string path = (file.inWindowsFolder ? windowsFolder : programFolder) + "/" +
                                 ModuleFileName(file.name);
        HMODULE module = nullptr;
        if (FAILED(LoadModule(path, module))) {
            if (file.required) {
                std::fprintf(stderr, "orvanta: cannot load %s: %s\n", path.c_str(),
                             LastModuleError().c_str());
                result.ok = false;
                result.missingRequired = path;
                return result;
            }
            continue;
        }
        auto registerServer = GetProcAddressAs<RegisterServer>(module, "DllRegisterServer");
        if (!registerServer) continue;
        result.registered.push_back(path);
        // Start-up goes on whatever the registration answers; the reason is kept on stderr.
        if (HRESULT hr = registerServer(); FAILED(hr)) {
            std::fprintf(stderr, "orvanta: registering %s failed: 0x%08X\n", path.c_str(),
                         static_cast<unsigned>(hr));
        }
    }
    return result;
}
