#pragma once

// The resident size of this process, as the memory benchmarks read it.

#include <cstddef>
#include <cstring>
#include <fstream>
#include <string>

namespace zuta::bench {

// A field of /proc/self/status in bytes (the kernel reports kB), or 0 when it is missing.
inline std::size_t StatusBytes(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t keyLength = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.compare(0, keyLength, key) == 0 && line.size() > keyLength &&
            line[keyLength] == ':')
            return std::stoull(line.substr(keyLength + 1)) * 1024;
    }
    return 0;
}

// Lowers the peak resident size to the current one; false when the kernel refuses.
inline bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.close();
    return static_cast<bool>(clear);
}

} // namespace zuta::bench
