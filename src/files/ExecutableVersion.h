#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zuta {

// The "FileVersion" text of a Windows executable's version resource, from the string table of
// US English in Unicode ("\StringFileInfo\040904b0\FileVersion"), as UTF-8. Empty when the bytes
// are no such executable or it has no such entry. Any bytes are safe to pass.
std::string ReadExecutableVersion(std::span<const std::uint8_t> image);

// The same for a file; empty when it cannot be read or is larger than an executable can be.
std::string ReadExecutableVersionOfFile(const std::string& path);

} // namespace zuta
