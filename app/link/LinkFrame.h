#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zuta::link {

// Framing of the command link over a byte stream (TCP now, a serial line later):
//   "ZL", u8 type, u8 port, u32 body length, body — all little-endian.
// A data-link connection sends one Hello frame and then carries the target's raw stream.
using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kMagic0 = 'Z';
inline constexpr std::uint8_t kMagic1 = 'L';
inline constexpr std::size_t kFrameHeaderSize = 8;
// Longest body accepted: an agent message of the largest payload with room to spare.
inline constexpr std::uint32_t kMaxFrameBody = 128 * 1024;
inline constexpr std::uint8_t kProtocolVersion = 1;

enum class FrameType : std::uint8_t {
    Hello = 1,   // host -> agent: u8 version, u8 link kind
    Command = 2, // host -> agent: agent, group, command (u8 length + text each), u32 flags, payload
    Raw = 3,     // host -> agent: u32 port mask, bytes for the data-link ports
    Message = 4, // agent -> host, port in the header: u8 message class, the message
    Sender = 5,  // agent -> host: u16 id A, u16 id B, the sender's name
};

enum class LinkKind : std::uint8_t { Command = 1, Data = 2 };

struct Frame {
    std::uint8_t type = 0;
    std::uint8_t port = 0;
    Bytes body;
};

struct CommandBody {
    std::string agent;
    std::string group;
    std::string command;
    std::uint32_t flags = 0;
    Bytes payload;
};

struct RawBody {
    std::uint32_t portMask = 0;
    Bytes bytes;
};

struct MessageBody {
    std::uint8_t messageClass = 0;
    Bytes message;
};

struct SenderBody {
    std::uint16_t idA = 0;
    std::uint16_t idB = 0;
    std::string name;
};

struct HelloBody {
    std::uint8_t version = kProtocolVersion;
    LinkKind kind = LinkKind::Command;
};

// Whole frames, ready to write. Bodies longer than kMaxFrameBody are not encodable (empty result).
Bytes EncodeFrame(FrameType type, std::uint8_t port, const std::uint8_t* body, std::size_t length);
Bytes EncodeHello(LinkKind kind);
Bytes EncodeCommand(std::string_view agent, std::string_view group, std::string_view command,
                    std::uint32_t flags, const std::uint8_t* payload, std::size_t length);
Bytes EncodeRaw(std::uint32_t portMask, const std::uint8_t* bytes, std::size_t count);
Bytes EncodeMessage(std::uint8_t port, std::uint8_t messageClass, const std::uint8_t* message,
                    std::size_t length);
Bytes EncodeSender(std::uint16_t idA, std::uint16_t idB, std::string_view name);

// Body decoders: nothing when the body does not have the layout of its type.
std::optional<HelloBody> DecodeHello(const Bytes& body);
std::optional<CommandBody> DecodeCommand(const Bytes& body);
std::optional<RawBody> DecodeRaw(const Bytes& body);
std::optional<MessageBody> DecodeMessage(const Bytes& body);
std::optional<SenderBody> DecodeSender(const Bytes& body);

// Cuts a byte stream into frames, whatever the chunking of the stream.
class FrameParser {
public:
    // Consumes `length` bytes; every completed frame is appended to `frames`. False once the stream
    // is broken (bad magic, body too long): the connection cannot be resynchronised and must close.
    bool Feed(const std::uint8_t* bytes, std::size_t length, std::vector<Frame>& frames);
    bool broken() const { return broken_; }
    // Bytes of an unfinished frame held for the next Feed.
    std::size_t pending() const { return buffer_.size(); }

private:
    Bytes buffer_;
    bool broken_ = false;
};

} // namespace zuta::link
