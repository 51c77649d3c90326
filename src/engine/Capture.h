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

// The name a capture file has while it is written, beside its final name.
inline constexpr const char* kCapturePartSuffix = ".part";
// True for the names of capture files, finished ("x.zcap") or cut short ("x.zcap.part").
bool IsCapturePath(const std::string& path);

// Streams a capture, from a file or from memory, record by record. A capture whose writer was
// stopped (a kill, a crash) ends inside its last record, or is still named "x.zcap.part": it is
// read up to its last whole record and warnings() says what was missing, so that a collection cut
// short can be recovered.
class CaptureReader {
public:
    ~CaptureReader();
    // False with `error` set when the file cannot be opened or is not a capture.
    bool Open(const std::string& path, std::string& error);
    // The same for a capture held in memory, which must outlive the reader.
    bool OpenMemory(const std::uint8_t* bytes, std::size_t size, std::string& error);
    // Next record; false at the end or on a damaged record (then `error` is set). A last record
    // cut short ends the capture with a warning, not an error.
    bool Next(CaptureRecord& record, std::string& error);
    std::uint64_t bytesRead() const { return offset_; }
    std::uint64_t fileSize() const { return size_; }
    // What the reader had to leave out or to assume, one sentence each.
    const std::vector<std::string>& warnings() const { return warnings_; }

private:
    bool CheckMagic(const std::string& name, std::string& error);
    // Reads up to `n` bytes; fewer only at the end.
    std::size_t Read(std::uint8_t* into, std::size_t n);

    std::FILE* file_ = nullptr;
    const std::uint8_t* memory_ = nullptr;
    std::uint64_t memoryAt_ = 0; // where the next read from memory starts
    std::uint64_t offset_ = 0;   // where the next record starts
    std::uint64_t size_ = 0;
    std::vector<std::string> warnings_;
};

// Writes a capture file; the file appears under its name only once Close succeeded, and is named
// "x.zcap.part" until then.
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
