// Feeds arbitrary bytes to the reader of an executable's version: it must never read outside
// them, and what it finds is text made of them (at most three UTF-8 bytes per UTF-16 unit).
#include "files/ExecutableVersion.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string version = zuta::ReadExecutableVersion({data, size});
    if (!version.empty() &&
        (size < 2 || data[0] != 'M' || data[1] != 'Z' || version.size() > size / 2 * 3))
        std::abort();
    return 0;
}
