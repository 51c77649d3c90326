#pragma once

#include <cstdint>
#include <string>

namespace zuta::host {

// Names the sender of a command-link message from the two 16-bit identifiers in its header.
class ISenderNameResolver {
public:
    virtual ~ISenderNameResolver() = default;
    // True and the sender's name when the pair is known.
    virtual bool SenderName(std::uint16_t idA, std::uint16_t idB, std::string& name) const = 0;
};

} // namespace zuta::host
