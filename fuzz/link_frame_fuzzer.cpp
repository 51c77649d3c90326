// Bytes from the peer of a link connection through the frame parser, cut into chunks as a socket
// might deliver them, and every frame's body through the decoder of its type.

#include "link/LinkFrame.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the chunk size, so splits inside headers and bodies are explored.
    const std::size_t chunk = 1 + data[0] % 64;
    ++data;
    --size;
    zuta::link::FrameParser parser;
    std::vector<zuta::link::Frame> frames;
    for (std::size_t at = 0; at < size; at += chunk) {
        const std::size_t n = size - at < chunk ? size - at : chunk;
        frames.clear();
        const bool intact = parser.Feed(data + at, n, frames);
        for (const zuta::link::Frame& frame : frames) {
            switch (static_cast<zuta::link::FrameType>(frame.type)) {
            case zuta::link::FrameType::Hello:
                (void)zuta::link::DecodeHello(frame.body);
                break;
            case zuta::link::FrameType::Command:
                if (const auto command = zuta::link::DecodeCommand(frame.body))
                    (void)zuta::link::EncodeCommand(
                        command->agent, command->group, command->command, command->flags,
                        command->payload.data(), command->payload.size());
                break;
            case zuta::link::FrameType::Raw:
                (void)zuta::link::DecodeRaw(frame.body);
                break;
            case zuta::link::FrameType::Message:
                (void)zuta::link::DecodeMessage(frame.body);
                break;
            case zuta::link::FrameType::Sender:
                (void)zuta::link::DecodeSender(frame.body);
                break;
            }
        }
        if (!intact)
            break;
    }
    return 0;
}
