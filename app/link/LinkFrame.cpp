#include "link/LinkFrame.h"

#include "engine/WireFormat.h"

#include <algorithm>

namespace zuta::link {

namespace {

void PutU16(Bytes& out, std::uint16_t v) {
    const std::size_t at = out.size();
    out.resize(at + 2);
    wire::WriteU16(out.data() + at, v);
}

void PutU32(Bytes& out, std::uint32_t v) {
    const std::size_t at = out.size();
    out.resize(at + 4);
    wire::WriteU32(out.data() + at, v);
}

// Text of at most 255 bytes with its length in front.
bool PutShortText(Bytes& out, std::string_view text) {
    if (text.size() > 255)
        return false;
    out.push_back(static_cast<std::uint8_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
    return true;
}

// Reads a field at `at` of a body, advancing `at`; false when the body is too short.
class BodyReader {
public:
    explicit BodyReader(const Bytes& body) : body_(body) {}
    bool U8(std::uint8_t& v) {
        if (left() < 1)
            return false;
        v = body_[at_++];
        return true;
    }
    bool U16(std::uint16_t& v) {
        if (left() < 2)
            return false;
        v = wire::ReadU16(body_.data() + at_);
        at_ += 2;
        return true;
    }
    bool U32(std::uint32_t& v) {
        if (left() < 4)
            return false;
        v = wire::ReadU32(body_.data() + at_);
        at_ += 4;
        return true;
    }
    bool ShortText(std::string& text) {
        std::uint8_t n = 0;
        if (!U8(n) || left() < n)
            return false;
        text.assign(reinterpret_cast<const char*>(body_.data() + at_), n);
        at_ += n;
        return true;
    }
    void Rest(Bytes& out) {
        out.assign(body_.begin() + static_cast<std::ptrdiff_t>(at_), body_.end());
    }
    void Rest(std::string& out) {
        out.assign(reinterpret_cast<const char*>(body_.data() + at_), left());
    }

private:
    std::size_t left() const { return body_.size() - at_; }
    const Bytes& body_;
    std::size_t at_ = 0;
};

Bytes Framed(FrameType type, std::uint8_t port, const Bytes& body) {
    return EncodeFrame(type, port, body.data(), body.size());
}

} // namespace

Bytes EncodeFrame(FrameType type, std::uint8_t port, const std::uint8_t* body, std::size_t length) {
    if (length > kMaxFrameBody)
        return {};
    Bytes out;
    out.reserve(kFrameHeaderSize + length);
    out.push_back(kMagic0);
    out.push_back(kMagic1);
    out.push_back(static_cast<std::uint8_t>(type));
    out.push_back(port);
    PutU32(out, static_cast<std::uint32_t>(length));
    if (length > 0)
        out.insert(out.end(), body, body + length);
    return out;
}

Bytes EncodeHello(LinkKind kind) {
    const Bytes body{kProtocolVersion, static_cast<std::uint8_t>(kind)};
    return Framed(FrameType::Hello, 0, body);
}

Bytes EncodeCommand(std::string_view agent, std::string_view group, std::string_view command,
                    std::uint32_t flags, const std::uint8_t* payload, std::size_t length) {
    Bytes body;
    if (!PutShortText(body, agent) || !PutShortText(body, group) || !PutShortText(body, command))
        return {};
    PutU32(body, flags);
    if (length > 0)
        body.insert(body.end(), payload, payload + length);
    return Framed(FrameType::Command, 0, body);
}

Bytes EncodeRaw(std::uint32_t portMask, const std::uint8_t* bytes, std::size_t count) {
    Bytes body;
    PutU32(body, portMask);
    if (count > 0)
        body.insert(body.end(), bytes, bytes + count);
    return Framed(FrameType::Raw, 0, body);
}

Bytes EncodeMessage(std::uint8_t port, std::uint8_t messageClass, const std::uint8_t* message,
                    std::size_t length) {
    Bytes body;
    body.reserve(1 + length);
    body.push_back(messageClass);
    if (length > 0)
        body.insert(body.end(), message, message + length);
    return Framed(FrameType::Message, port, body);
}

Bytes EncodeSender(std::uint16_t idA, std::uint16_t idB, std::string_view name) {
    Bytes body;
    PutU16(body, idA);
    PutU16(body, idB);
    body.insert(body.end(), name.begin(), name.end());
    return Framed(FrameType::Sender, 0, body);
}

std::optional<HelloBody> DecodeHello(const Bytes& body) {
    BodyReader r(body);
    HelloBody hello;
    std::uint8_t kind = 0;
    if (!r.U8(hello.version) || !r.U8(kind))
        return std::nullopt;
    if (kind != static_cast<std::uint8_t>(LinkKind::Command) &&
        kind != static_cast<std::uint8_t>(LinkKind::Data))
        return std::nullopt;
    hello.kind = static_cast<LinkKind>(kind);
    return hello;
}

std::optional<CommandBody> DecodeCommand(const Bytes& body) {
    BodyReader r(body);
    CommandBody command;
    if (!r.ShortText(command.agent) || !r.ShortText(command.group) ||
        !r.ShortText(command.command) || !r.U32(command.flags))
        return std::nullopt;
    r.Rest(command.payload);
    return command;
}

std::optional<RawBody> DecodeRaw(const Bytes& body) {
    BodyReader r(body);
    RawBody raw;
    if (!r.U32(raw.portMask))
        return std::nullopt;
    r.Rest(raw.bytes);
    return raw;
}

std::optional<MessageBody> DecodeMessage(const Bytes& body) {
    BodyReader r(body);
    MessageBody message;
    if (!r.U8(message.messageClass))
        return std::nullopt;
    r.Rest(message.message);
    return message;
}

std::optional<SenderBody> DecodeSender(const Bytes& body) {
    BodyReader r(body);
    SenderBody sender;
    if (!r.U16(sender.idA) || !r.U16(sender.idB))
        return std::nullopt;
    r.Rest(sender.name);
    return sender;
}

bool FrameParser::Feed(const std::uint8_t* bytes, std::size_t length, std::vector<Frame>& frames) {
    if (broken_)
        return false;
    if (length > 0)
        buffer_.insert(buffer_.end(), bytes, bytes + length);
    std::size_t p = 0;
    while (buffer_.size() - p >= kFrameHeaderSize) {
        const std::uint8_t* h = buffer_.data() + p;
        if (h[0] != kMagic0 || h[1] != kMagic1) {
            broken_ = true;
            break;
        }
        const std::uint32_t bodyLength = wire::ReadU32(h + 4);
        if (bodyLength > kMaxFrameBody) {
            broken_ = true;
            break;
        }
        if (buffer_.size() - p - kFrameHeaderSize < bodyLength)
            break;
        Frame frame;
        frame.type = h[2];
        frame.port = h[3];
        frame.body.assign(h + kFrameHeaderSize, h + kFrameHeaderSize + bodyLength);
        frames.push_back(std::move(frame));
        p += kFrameHeaderSize + bodyLength;
    }
    if (broken_) {
        buffer_.clear();
        return false;
    }
    // The magic of an unfinished header is checked early so a stream that is not ours is refused
    // at once rather than after eight bytes.
    const std::size_t rest = buffer_.size() - p;
    if ((rest >= 1 && buffer_[p] != kMagic0) || (rest >= 2 && buffer_[p + 1] != kMagic1)) {
        broken_ = true;
        buffer_.clear();
        return false;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(p));
    return true;
}

} // namespace zuta::link
