#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zuta {

// Capture files record what the links delivered so a collection can be replayed: the 8 bytes
// "ZUTACAP1", then records of u8 kind, u32 port, u64 microseconds since the capture start,
// u32 length and the bytes, all little-endian.
enum class CaptureKind : std::uint8_t {
    CommandMessage = 1,  // a command-link message as the endpoint receives it
    DataBlock = 2,       // a framed data-link block
    DataPortMessage = 3, // unframed data-link bytes received on the command link
    SenderName = 4,      // u16 idA, u16 idB, then the sender's name in ASCII
};

struct CaptureRecord {
    CaptureKind kind = CaptureKind::CommandMessage;
    std::uint32_t port = 0;
    std::uint64_t micros = 0;
    std::vector<std::uint8_t> bytes;
};

inline constexpr char kCaptureMagic[8] = {'Z', 'U', 'T', 'A', 'C', 'A', 'P', '1'};
inline constexpr std::size_t kCaptureRecordHeaderSize = 1 + 4 + 8 + 4;
// Longest record body accepted when reading.
inline constexpr std::uint32_t kMaxCaptureRecord = 16 * 1024 * 1024;

// Streams a capture file record by record.
class CaptureReader {
public:
    ~CaptureReader();
    // False with `error` set when the file cannot be opened or is not a capture.
    bool Open(const std::string& path, std::string& error);
    // Next record; false at the end or on a damaged record (then `error` is set).
    bool Next(CaptureRecord& record, std::string& error);
    std::uint64_t bytesRead() const { return offset_; }
    std::uint64_t fileSize() const { return size_; }

private:
    std::FILE* file_ = nullptr;
    std::uint64_t offset_ = 0;
    std::uint64_t size_ = 0;
};

// Writes a capture file; the file appears under its name only once Close succeeded.
class CaptureWriter {
public:
    ~CaptureWriter();
    bool Open(const std::string& path, std::string& error);
    bool Write(const CaptureRecord& record);
    bool Write(CaptureKind kind, std::uint32_t port, std::uint64_t micros,
               const std::uint8_t* bytes, std::size_t length);
    bool Close(std::string& error);

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string tempPath_;
    bool failed_ = false;
};

} // namespace zuta
