// registry_writer PREFIX COUNT: sets COUNT values "PREFIX-<n>" (the DWORD n) under
// HKEY_CURRENT_USER\Software\Orvanta\Concurrency of the default store, one change at a time, as
// a second process racing the test. Exits 1 when any change fails.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/os/RegistryStore.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: registry_writer PREFIX COUNT\n");
        return 2;
    }
    std::string prefix = argv[1];
    int count = std::atoi(argv[2]);
    RegistryStore store = RegistryStore::Default();
    for (int n = 0; n < count; ++n) {
        HRESULT hr = store.SetDword(HKEY_CURRENT_USER, "Software\\Orvanta\\Concurrency",
                                    prefix + "-" + std::to_string(n), static_cast<uint32_t>(n));
        if (FAILED(hr)) {
            std::fprintf(stderr, "registry_writer: value %d failed: 0x%08X\n", n,
                         static_cast<unsigned>(hr));
            return 1;
        }
    }
    return 0;
}
