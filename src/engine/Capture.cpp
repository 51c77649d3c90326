#include "engine/Capture.h"

#include "engine/WireFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace zuta {

namespace {

std::uint64_t ReadU64(const std::uint8_t* p) {
    return wire::ReadU32(p) | (static_cast<std::uint64_t>(wire::ReadU32(p + 4)) << 32);
}

void WriteU64(std::uint8_t* p, std::uint64_t v) {
    wire::WriteU32(p, static_cast<std::uint32_t>(v));
    wire::WriteU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

} // namespace

bool IsCapturePath(const std::string& path) {
    std::string_view name(path);
    if (name.ends_with(kCapturePartSuffix))
        name.remove_suffix(std::string_view(kCapturePartSuffix).size());
    return name.ends_with(".zcap");
}

CaptureReader::~CaptureReader() {
    if (file_ != nullptr)
        std::fclose(file_);
}

bool CaptureReader::Open(const std::string& path, std::string& error) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        error = "cannot open '" + path + "': " + std::strerror(errno);
        return false;
    }
    if (std::fseek(file_, 0, SEEK_END) == 0) {
        const long size = std::ftell(file_);
        size_ = size > 0 ? static_cast<std::uint64_t>(size) : 0;
        std::fseek(file_, 0, SEEK_SET);
    }
    if (!CheckMagic("'" + path + "'", error))
        return false;
    if (std::string_view(path).ends_with(kCapturePartSuffix))
        warnings_.push_back("'" + path +
                            "' is a capture that was never finished: its collection was cut short");
    return true;
}

bool CaptureReader::OpenMemory(const std::uint8_t* bytes, std::size_t size, std::string& error) {
    memory_ = bytes;
    size_ = bytes != nullptr ? size : 0;
    return CheckMagic("the data", error);
}

bool CaptureReader::CheckMagic(const std::string& name, std::string& error) {
    std::uint8_t magic[sizeof kCaptureMagic];
    if (Read(magic, sizeof magic) != sizeof magic ||
        std::memcmp(magic, kCaptureMagic, sizeof magic) != 0) {
        error = name + " is not a ZUTA capture (it does not start with ZUTACAP1)";
        return false;
    }
    offset_ = sizeof magic;
    return true;
}

std::size_t CaptureReader::Read(std::uint8_t* into, std::size_t n) {
    if (file_ != nullptr)
        return std::fread(into, 1, n, file_);
    if (memory_ == nullptr)
        return 0;
    const std::size_t got = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - memoryAt_));
    if (got > 0)
        std::memcpy(into, memory_ + memoryAt_, got);
    memoryAt_ += got;
    return got;
}

bool CaptureReader::Next(CaptureRecord& record, std::string& error) {
    if (file_ == nullptr && memory_ == nullptr)
        return false;
    const auto cutShort = [this](const char* where) {
        warnings_.push_back("the capture ends inside " + std::string(where) + " at offset " +
                            std::to_string(offset_) +
                            ": everything before it was read, the rest of that record is lost");
        // Nothing follows a record that was cut short.
        if (file_ != nullptr)
            std::fclose(file_);
        file_ = nullptr;
        memory_ = nullptr;
        return false;
    };
    std::uint8_t header[kCaptureRecordHeaderSize];
    const std::size_t got = Read(header, sizeof header);
    if (got == 0)
        return false;
    if (got != sizeof header)
        return cutShort("a record header");
    const std::uint8_t kind = header[0];
    if (kind < 1 || kind > 4) {
        error = "unknown capture record kind " + std::to_string(kind) + " at offset " +
                std::to_string(offset_);
        return false;
    }
    const std::uint32_t length = wire::ReadU32(header + 13);
    if (length > kMaxCaptureRecord) {
        error = "capture record of " + std::to_string(length) + " bytes at offset " +
                std::to_string(offset_) + " is larger than any link delivers";
        return false;
    }
    record.kind = static_cast<CaptureKind>(kind);
    record.port = wire::ReadU32(header + 1);
    record.micros = ReadU64(header + 5);
    record.bytes.resize(length);
    if (length > 0 && Read(record.bytes.data(), length) != length)
        return cutShort("a record");
    offset_ += sizeof header + length;
    return true;
}

CaptureWriter::~CaptureWriter() {
    if (file_ != nullptr) {
        std::fclose(file_);
        std::remove(tempPath_.c_str());
    }
}

bool CaptureWriter::Open(const std::string& path, std::string& error) {
    path_ = path;
    tempPath_ = path + kCapturePartSuffix;
    file_ = std::fopen(tempPath_.c_str(), "wb");
    if (file_ == nullptr) {
        error = "cannot create '" + tempPath_ + "': " + std::strerror(errno);
        return false;
    }
    failed_ = std::fwrite(kCaptureMagic, 1, sizeof kCaptureMagic, file_) != sizeof kCaptureMagic;
    return !failed_;
}

bool CaptureWriter::Write(const CaptureRecord& record) {
    return Write(record.kind, record.port, record.micros, record.bytes.data(), record.bytes.size());
}

bool CaptureWriter::Write(CaptureKind kind, std::uint32_t port, std::uint64_t micros,
                          const std::uint8_t* bytes, std::size_t length) {
    if (file_ == nullptr || failed_)
        return false;
    std::uint8_t header[kCaptureRecordHeaderSize];
    header[0] = static_cast<std::uint8_t>(kind);
    wire::WriteU32(header + 1, port);
    WriteU64(header + 5, micros);
    wire::WriteU32(header + 13, static_cast<std::uint32_t>(length));
    if (std::fwrite(header, 1, sizeof header, file_) != sizeof header ||
        (length > 0 && std::fwrite(bytes, 1, length, file_) != length))
        failed_ = true;
    return !failed_;
}

bool CaptureWriter::Close(std::string& error) {
    if (file_ == nullptr) {
        error = "capture not open";
        return false;
    }
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (failed_ || !closed || std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        error = "cannot write capture '" + path_ + "': " + std::strerror(errno);
        std::remove(tempPath_.c_str());
        return false;
    }
    return true;
}

} // namespace zuta
