#include "files/TextScanner.h"

#include <bit>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace zuta {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

char* TextScanner::FastHexDigits(char* p, std::uint32_t& value) {
    int digit = HexValue(*p);
    if (digit < 0)
        return nullptr;
    std::uint32_t v = 0;
    do {
        v = (v << 4) | static_cast<std::uint32_t>(digit);
        digit = HexValue(*++p);
    } while (digit >= 0);
    value = v;
    return p;
}

FileSource::~FileSource() {
    if (file_ != nullptr)
        std::fclose(file_);
}

bool FileSource::Open(const std::string& path, std::string& error) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
        error = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    struct stat info {};
    if (::fstat(::fileno(file_), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            error = "cannot open: it is a folder";
            std::fclose(file_);
            file_ = nullptr;
            return false;
        }
        if (S_ISREG(info.st_mode))
            size_ = static_cast<std::uint64_t>(info.st_size);
    }
    return true;
}

std::size_t FileSource::Read(char* to, std::size_t size) {
    if (file_ == nullptr)
        return 0;
    const std::size_t got = std::fread(to, 1, size, file_);
    if (got == 0 && std::ferror(file_) != 0)
        failed_ = true;
    return got;
}

std::size_t MemorySource::Read(char* to, std::size_t size) {
    const std::size_t n = size < bytes_.size() ? size : bytes_.size();
    std::memcpy(to, bytes_.data(), n);
    bytes_.remove_prefix(n);
    return n;
}

TextScanner::TextScanner(ByteSource& source,
                         std::function<void(std::uint64_t, std::uint64_t)> progress)
    : source_(source), progress_(std::move(progress)),
      buffer_(std::make_unique_for_overwrite<char[]>(kBufferSize + 1 + kPadding)),
      cur_(buffer_.get()), end_(buffer_.get()) {
    std::memset(end_, 0, 1 + kPadding);
}

bool TextScanner::Refill() {
    if (atEnd_)
        return false;
    const std::size_t kept = static_cast<std::size_t>(end_ - cur_);
    base_ += static_cast<std::uint64_t>(cur_ - buffer_.get());
    std::memmove(buffer_.get(), cur_, kept);
    cur_ = buffer_.get();
    end_ = cur_ + kept;
    std::size_t added = 0;
    while (added == 0) {
        const std::size_t got = source_.Read(end_, kBufferSize - kept);
        if (got == 0) {
            atEnd_ = true;
            break;
        }
        added = got;
    }
    end_ += added;
    std::memset(end_, 0, 1 + kPadding);
    read_ += added;
    if (progress_ && added > 0)
        progress_(read_, source_.size());
    return added > 0;
}

bool TextScanner::Sign(bool& negative) {
    SkipSpace();
    if (cur_ == end_)
        return Fail();
    negative = *cur_ == '-';
    if (*cur_ == '+' || *cur_ == '-') {
        ++cur_;
        if (cur_ == end_ && !Refill())
            return Fail();
    }
    return true;
}

bool TextScanner::Decimal(std::uint32_t& value) {
    bool negative = false;
    if (!Sign(negative))
        return false;
    if (!IsDigit(*cur_))
        return false;
    std::uint32_t v = 0;
    for (;;) {
        char* p = cur_;
        while (IsDigit(*p)) {
            v = v * 10u + static_cast<std::uint32_t>(*p - '0');
            ++p;
        }
        cur_ = p;
        if (cur_ != end_ || !Refill())
            break;
    }
    value = negative ? 0u - v : v;
    return true;
}

bool TextScanner::Hex(std::uint32_t& value) {
    bool negative = false;
    if (!Sign(negative))
        return false;
    Ensure(3);
    if (end_ - cur_ >= 3 && cur_[0] == '0' && (cur_[1] == 'x' || cur_[1] == 'X') &&
        HexValue(cur_[2]) >= 0)
        cur_ += 2;
    if (HexValue(*cur_) < 0)
        return false;
    std::uint32_t v = 0;
    for (;;) {
        char* p = cur_;
        for (int digit = HexValue(*p); digit >= 0; digit = HexValue(*++p))
            v = (v << 4) | static_cast<std::uint32_t>(digit);
        cur_ = p;
        if (cur_ != end_ || !Refill())
            break;
    }
    value = negative ? 0u - v : v;
    return true;
}

bool TextScanner::Word(std::string& word) {
    SkipSpace();
    if (cur_ == end_)
        return Fail();
    word.clear();
    for (;;) {
        char* p = cur_;
        while (p != end_ && !IsScanfSpace(static_cast<unsigned char>(*p)))
            ++p;
        word.append(cur_, p);
        cur_ = p;
        if (cur_ != end_ || !Refill())
            break;
    }
    return true;
}

} // namespace zuta
