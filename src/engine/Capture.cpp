#include "engine/Capture.h"

#include "engine/WireFormat.h"

#include <cerrno>
#include <cstring>

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
    char magic[sizeof kCaptureMagic];
    if (std::fread(magic, 1, sizeof magic, file_) != sizeof magic ||
        std::memcmp(magic, kCaptureMagic, sizeof magic) != 0) {
        error = "'" + path + "' is not a ZUTA capture (it does not start with ZUTACAP1)";
        return false;
    }
    offset_ = sizeof magic;
    return true;
}

bool CaptureReader::Next(CaptureRecord& record, std::string& error) {
    if (file_ == nullptr)
        return false;
    std::uint8_t header[kCaptureRecordHeaderSize];
    const std::size_t got = std::fread(header, 1, sizeof header, file_);
    if (got == 0)
        return false;
    if (got != sizeof header) {
        error = "capture ends inside a record header at offset " + std::to_string(offset_);
        return false;
    }
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
    if (length > 0 && std::fread(record.bytes.data(), 1, length, file_) != length) {
        error = "capture ends inside a record at offset " + std::to_string(offset_);
        return false;
    }
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
    tempPath_ = path + ".part";
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
