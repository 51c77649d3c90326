#include "files/TextScanner.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace zuta {

std::string CutLinesWarning(std::uint64_t count) {
    return text::FormatSigned(static_cast<std::int64_t>(count)) +
           (count == 1 ? " line longer than 1 MiB was cut" : " lines longer than 1 MiB were cut");
}

char* TextScanner::FastHexDigits(char* p, std::uint32_t& value) {
    int digit = text::HexDigit(*p);
    if (digit < 0)
        return nullptr;
    std::uint32_t v = 0;
    do {
        v = (v << 4) | static_cast<std::uint32_t>(digit);
        digit = text::HexDigit(*++p);
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
            error = std::string("cannot open: ") + std::strerror(EISDIR);
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
    if (file_ == nullptr || readError_ != 0)
        return 0;
    errno = 0;
    const std::size_t got = std::fread(to, 1, size, file_);
    if (got == 0 && std::ferror(file_) != 0)
        readError_ = errno != 0 ? errno : EIO;
    return got;
}

std::string FileSource::failure() const {
    return readError_ != 0 ? std::string("cannot read: ") + std::strerror(readError_)
                           : std::string();
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
      // A small input gets a buffer of its size: most loads of a fuzz run or a short file would
      // otherwise pay for a whole megabyte.
      capacity_(source.size() != 0 && source.size() < kBufferSize
                    ? static_cast<std::size_t>(source.size()) + kSmallSlack
                    : kBufferSize),
      buffer_(std::make_unique_for_overwrite<char[]>(capacity_ + 1 + kPadding)),
      cur_(buffer_.get()), end_(buffer_.get()) {
    std::memset(end_, 0, 1 + kPadding);
}

bool TextScanner::Refill() {
    if (atEnd_)
        return false;
    const std::size_t kept = static_cast<std::size_t>(end_ - cur_);
    base_ += static_cast<std::uint64_t>(cur_ - buffer_.get());
    if (kept == capacity_ && capacity_ < kBufferSize) {
        // The input grew past the size it had when the scanner was made.
        auto larger = std::make_unique_for_overwrite<char[]>(kBufferSize + 1 + kPadding);
        std::memcpy(larger.get(), cur_, kept);
        buffer_ = std::move(larger);
        capacity_ = kBufferSize;
    } else {
        std::memmove(buffer_.get(), cur_, kept);
    }
    cur_ = buffer_.get();
    end_ = cur_ + kept;
    std::size_t added = 0;
    while (added == 0) {
        const std::size_t got = source_.Read(end_, capacity_ - kept);
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

void TextScanner::Digits(std::uint32_t base, std::uint32_t& value) {
    for (;;) {
        cur_ += text::AccumulateDigits(
            std::string_view(cur_, static_cast<std::size_t>(end_ - cur_)), base, value);
        if (cur_ != end_ || !Refill())
            return;
    }
}

void TextScanner::SkipRestOfLine() {
    ++linesCut_;
    for (;;) {
        if (char* lf = static_cast<char*>(
                std::memchr(cur_, '\n', static_cast<std::size_t>(end_ - cur_)))) {
            cur_ = lf;
            return;
        }
        cur_ = end_;
        if (!Refill())
            return;
    }
}

bool TextScanner::Decimal(std::uint32_t& value) {
    bool negative = false;
    if (!Sign(negative))
        return false;
    if (!text::IsDigit(*cur_))
        return false;
    std::uint32_t v = 0;
    Digits(10, v);
    value = negative ? 0u - v : v;
    return true;
}

bool TextScanner::Hex(std::uint32_t& value) {
    bool negative = false;
    if (!Sign(negative))
        return false;
    Ensure(3);
    if (end_ - cur_ >= 3 && cur_[0] == '0' && (cur_[1] == 'x' || cur_[1] == 'X') &&
        text::HexDigit(cur_[2]) >= 0)
        cur_ += 2;
    if (text::HexDigit(*cur_) < 0)
        return false;
    std::uint32_t v = 0;
    Digits(16, v);
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
        const std::size_t room = kMaxLineLength - word.size();
        char* stop = static_cast<std::size_t>(end_ - p) > room ? p + room : end_;
        while (p != stop && !text::IsSpace(*p))
            ++p;
        word.append(cur_, p);
        cur_ = p;
        if (word.size() == kMaxLineLength) {
            if (cur_ != end_ ? !text::IsSpace(*cur_) : Refill() && !text::IsSpace(*cur_))
                SkipRestOfLine();
            break;
        }
        if (cur_ != end_ || !Refill())
            break;
    }
    return true;
}

} // namespace zuta
