// A component file for start-up tests: its DllRegisterServer appends the path it was loaded
// from to the file named by ORVANTA_TEST_REGISTER_LOG, so a test sees which files start-up
// registered and in which order. Copies of it stand in for every component file.
#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer() {
    const char* log = std::getenv("ORVANTA_TEST_REGISTER_LOG");
    Dl_info info{};
    if (!log || !dladdr(reinterpret_cast<void*>(&DllRegisterServer), &info) || !info.dli_fname)
        return static_cast<int32_t>(0x80004005);  // E_FAIL
    if (std::FILE* out = std::fopen(log, "a")) {
        std::fprintf(out, "%s\n", info.dli_fname);
        std::fclose(out);
    }
    return 0;
}
