#include "tools/registry/RegistryTool.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "platform/com/FilterRegistration.h"
#include "platform/com/ModuleLoader.h"
#include "platform/com/Unknown.h"
#include "platform/os/MediaPlatform.h"
#include "platform/os/RegistryStore.h"
#include "platform/os/RegistryTree.h"

namespace fs = std::filesystem;

namespace {

constexpr RegistryRoot kRoot = HKEY_CLASSES_ROOT;

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<uint32_t>(hr));
    return text;
}

std::string DefaultText(const RegistryKey* key) {
    const RegistryValue* value = key ? key->FindValue("") : nullptr;
    const auto* text = value ? std::get_if<std::string>(value) : nullptr;
    return text ? *text : std::string();
}

std::string DefaultOf(const RegistryKey& key, std::string_view sub) {
    return DefaultText(key.FindSubKey(sub));
}

std::string ModuleNote(const std::string& path) {
    if (path.empty()) return "(none)";
    std::error_code ec;
    return fs::exists(path, ec) ? path : path + " (file missing)";
}

void ListClasses(const RegistryTree& tree, std::ostream& out) {
    out << "Classes:\n";
    size_t count = 0;
    const RegistryKey* classes = tree.Find(kRoot, "CLSID");
    for (const RegistryKey* key :
         classes ? classes->SubKeys() : std::vector<const RegistryKey*>{}) {
        const RegistryKey* server = key->FindSubKey("InprocServer32");
        if (!server) continue;  // filter categories and other data kept under CLSID
        ++count;
        out << "  " << key->Name() << "  \"" << DefaultText(key) << "\"\n";
        out << "      module:   " << ModuleNote(DefaultText(server)) << "\n";
        std::string progId = DefaultOf(*key, "ProgID");
        if (!progId.empty()) out << "      ProgID:   " << progId << "\n";
        std::string typeLib = DefaultOf(*key, "TypeLib");
        if (!typeLib.empty()) out << "      TypeLib:  " << typeLib << "\n";
    }
    if (count == 0) out << "  (none)\n";
}

void ListTypeLibraries(const RegistryTree& tree, std::ostream& out) {
    out << "Type libraries:\n";
    size_t count = 0;
    const RegistryKey* libraries = tree.Find(kRoot, "TypeLib");
    for (const RegistryKey* library :
         libraries ? libraries->SubKeys() : std::vector<const RegistryKey*>{}) {
        for (const RegistryKey* version : library->SubKeys()) {
            ++count;
            out << "  " << library->Name() << "  version " << version->Name() << "  \""
                << DefaultText(version) << "\"\n";
            for (const RegistryKey* locale : version->SubKeys()) {
                if (RegistryNamesEqual(locale->Name(), "FLAGS") ||
                    RegistryNamesEqual(locale->Name(), "HELPDIR")) {
                    continue;
                }
                for (const RegistryKey* platform : locale->SubKeys()) {
                    out << "      module:   " << ModuleNote(DefaultText(platform)) << "  (locale "
                        << locale->Name() << ", " << platform->Name() << ")\n";
                }
            }
        }
    }
    if (count == 0) out << "  (none)\n";
}

void ListFilters(std::ostream& out) {
    out << "Filters (" << CLSID_LegacyAmFilterCategory.ToString() << "), by merit:\n";
    std::vector<FilterRegistration> filters = EnumRegisteredFilters();
    for (const FilterRegistration& filter : filters) {
        char merit[16];
        std::snprintf(merit, sizeof merit, "0x%08X", filter.merit);
        out << "  " << filter.clsid.ToString() << "  \"" << filter.friendlyName << "\"  merit "
            << merit << ", " << filter.pins.size() << " pin(s)\n";
    }
    if (filters.empty()) out << "  (none)\n";
}

}  // namespace

std::string RegistryTool::DescribeResult(HRESULT hr) {
    struct Known {
        HRESULT hr;
        const char* text;
    };
    static constexpr Known known[] = {
        {S_OK, "success"},
        {S_FALSE, "success, nothing to do"},
        {E_FAIL, "unspecified failure"},
        {E_OUTOFMEMORY, "out of memory"},
        {E_INVALIDARG, "invalid argument"},
        {E_UNEXPECTED, "unexpected failure"},
        {E_ACCESSDENIED, "access denied"},
        {SELFREG_E_TYPELIB, "the type library could not be registered"},
        {SELFREG_E_CLASS, "a class could not be registered"},
        {REGDB_E_CLASSNOTREG, "class not registered"},
        {CLASS_E_CLASSNOTAVAILABLE, "the module does not provide this class"},
        {CO_E_DLLNOTFOUND, "module file not found"},
        {CO_E_ERRORINDLL, "the module file cannot be loaded"},
        {E_PROC_NOT_FOUND, "the module does not export this entry"},
        {REGISTRY_E_CORRUPT, "the registry store is corrupt"},
    };
    for (const Known& entry : known) {
        if (entry.hr == hr) return Hex(hr) + " (" + entry.text + ")";
    }
    if ((static_cast<uint32_t>(hr) & 0xFFFF0000u) == 0x80070000u) {
        return Hex(hr) + " (" + std::generic_category().message(static_cast<int>(hr & 0xFFFF)) +
               ")";
    }
    return Hex(hr);
}

int RegistryTool::Run(const std::vector<std::string>& args) {
    if (args.size() == 1 && args[0] == "list") return List();
    if (args.size() == 2 && args[0] == "register") return CallEntry(args[1], "DllRegisterServer");
    if (args.size() == 2 && args[0] == "unregister")
        return CallEntry(args[1], "DllUnregisterServer");
    if (args.size() == 1 && args[0] == "record-platform") return RecordPlatform();
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        Usage();
        return 0;
    }
    Usage();
    return 2;
}

void RegistryTool::Usage() {
    err_ << "usage: orvanta-registry list\n"
            "       orvanta-registry register FILE.so\n"
            "       orvanta-registry unregister FILE.so\n"
            "       orvanta-registry record-platform\n";
}

int RegistryTool::RecordPlatform() {
    RegistryStore store = RegistryStore::Default();
    HRESULT hr = store.SetString(HKEY_LOCAL_MACHINE, kMediaPlatformKey, kMediaPlatformValue,
                                 kMediaPlatformVersion);
    if (FAILED(hr)) {
        err_ << "orvanta-registry: cannot record the media platform in " << store.Path().string()
             << ": " << DescribeResult(hr) << "\n";
        return 1;
    }
    out_ << "Media platform " << kMediaPlatformVersion << " recorded in " << store.Path().string()
         << "\n";
    return 0;
}

int RegistryTool::List() {
    RegistryStore store = RegistryStore::Default();
    out_ << "Registry store: " << store.Path().string() << "\n";
    HRESULT hr = store.Read([&](const RegistryTree& tree) {
        ListClasses(tree, out_);
        ListTypeLibraries(tree, out_);
    });
    if (FAILED(hr)) {
        err_ << "orvanta-registry: cannot read " << store.Path().string() << ": "
             << DescribeResult(hr) << "\n";
        return 1;
    }
    ListFilters(out_);
    return 0;
}

int RegistryTool::CallEntry(const std::string& file, const char* entry) {
    std::error_code ec;
    fs::path path = fs::absolute(file, ec);
    if (ec) path = file;
    HMODULE module = nullptr;
    HRESULT hr = LoadModule(path, module);
    if (FAILED(hr)) {
        err_ << "orvanta-registry: cannot load " << path.string() << ": " << LastModuleError()
             << "; " << DescribeResult(hr) << "\n";
        return 1;
    }
    auto function = GetProcAddressAs<DllRegisterServerFn>(module, entry);
    if (!function) {
        err_ << "orvanta-registry: " << path.string() << " exports no " << entry << "; "
             << DescribeResult(E_PROC_NOT_FOUND) << "\n";
        return 1;
    }
    try {
        hr = function();
    } catch (...) {
        hr = E_UNEXPECTED;
    }
    // The module stays loaded: its static destructors run with the process's end.
    if (FAILED(hr)) {
        err_ << "orvanta-registry: " << entry << " in " << path.string()
             << " failed: " << DescribeResult(hr) << "\n";
        return 1;
    }
    out_ << entry << " in " << path.string() << " succeeded: " << DescribeResult(hr) << "\n";
    return 0;
}
