#include "bench/support/BenchEnvironment.h"

#include <stdlib.h>

namespace fs = std::filesystem;

fs::path MakeBenchEnvironment() {
    std::string pattern = (fs::temp_directory_path() / "orvanta-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) return {};
    fs::path dir = pattern;
    fs::create_directories(dir / "run");
    fs::permissions(dir / "run", fs::perms::owner_all, fs::perm_options::replace);
    fs::create_directories(dir / "config");
    setenv("ORVANTA_REGISTRY", (dir / "registry").c_str(), 1);
    setenv("ORVANTA_RUNTIME_DIR", (dir / "run").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
    setenv("ORVANTA_SHUTDOWN_COMMAND", "true", 1);
    setenv("ORVANTA_DEVICE_BACKENDS", "virtual", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return dir;
}
