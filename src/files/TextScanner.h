#pragma once

#include "host/TextNumbers.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace zuta {

// The longest line the readers take: the rest of a longer line is skipped.
inline constexpr std::size_t kMaxLineLength = std::size_t{1} << 20;

// The warning of a reader that cut `count` lines at kMaxLineLength.
std::string CutLinesWarning(std::uint64_t count);

// Where a scanner's bytes come from.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to `size` bytes into `to`; 0 at the end of the input (or on a read error).
    virtual std::size_t Read(char* to, std::size_t size) = 0;
    // Size of the whole input when known, else 0.
    virtual std::uint64_t size() const = 0;
    // Why reading stopped before the end of the input ("cannot read: Input/output error"), or
    // empty when it did not.
    virtual std::string failure() const { return {}; }
};

// A file read in binary mode, so CR stays in the text and counts as white space.
class FileSource final : public ByteSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // False with `error` set ("cannot open: No such file or directory") when the file cannot be
    // read.
    bool Open(const std::string& path, std::string& error);
    std::size_t Read(char* to, std::size_t size) override;
    std::uint64_t size() const override { return size_; }
    std::string failure() const override;

private:
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    int readError_ = 0; // errno of the read that failed
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string_view bytes) : bytes_(bytes), size_(bytes.size()) {}
    std::size_t Read(char* to, std::size_t size) override;
    std::uint64_t size() const override { return size_; }

private:
    std::string_view bytes_; // what is still to be read
    std::uint64_t size_;
};

// Reads text the way scanf's directives do: white space matches any run of white space (none
// included), an ordinary character matches itself, numeric conversions skip leading white space
// and take an optional sign, "%s" takes one word up to the next white space. The input is
// streamed through a large buffer; a NUL after the buffered bytes stops every scanning loop
// without a bounds check, and the loops then look whether more input follows.
//
// Numbers are taken modulo 2^32 (then negated for a leading '-'), so any digit string gives a
// defined value. A directive that fails for lack of input sets inputFailed(). A word that reaches
// kMaxLineLength is cut there and the rest of its line skipped.
class TextScanner {
public:
    static constexpr std::size_t kBufferSize = std::size_t{1} << 20;
    // Zero bytes after the end of the buffered bytes: the fast helpers read eight at a time.
    static constexpr std::size_t kPadding = 8;
    // Room beyond the size of a small input, for bytes that arrive after it was measured.
    static constexpr std::size_t kSmallSlack = 4096;

    TextScanner(ByteSource& source, std::function<void(std::uint64_t, std::uint64_t)> progress);

    // Bytes consumed so far.
    std::uint64_t consumed() const {
        return base_ + static_cast<std::uint64_t>(cur_ - buffer_.get());
    }
    bool inputFailed() const { return inputFailed_; }
    void ClearInputFailure() { inputFailed_ = false; }
    // Lines cut at kMaxLineLength so far.
    std::uint64_t linesCut() const { return linesCut_; }

    void SkipSpace() {
        for (;;) {
            while (text::IsSpace(*cur_))
                ++cur_;
            if (cur_ != end_ || !Refill())
                return;
        }
    }

    // True when only white space is left.
    bool AtEnd() {
        SkipSpace();
        return cur_ == end_;
    }
    // True when `text` follows after white space (which is skipped); nothing else is consumed.
    bool LookingAt(std::string_view text) {
        SkipSpace();
        Ensure(text.size());
        return static_cast<std::size_t>(end_ - cur_) >= text.size() &&
               std::string_view(cur_, text.size()) == text;
    }

    bool Char(char c) {
        if (cur_ == end_ && !Refill())
            return Fail();
        if (*cur_ != c)
            return false;
        ++cur_;
        return true;
    }

    // Direct access for a caller's fast path over text that is all in the buffer: the unread
    // bytes when at least kFastWindow of them are buffered (else nullptr), to be scanned with the
    // Fast* helpers and handed back with FastCommit. Scanning never passes the end of the
    // buffered bytes: a NUL stands after them, which no helper takes.
    static constexpr std::size_t kFastWindow = 256;
    char* FastBegin() {
        Ensure(kFastWindow);
        return static_cast<std::size_t>(end_ - cur_) >= kFastWindow ? cur_ : nullptr;
    }
    // Continues after `to` (which must not lie past the buffered bytes).
    void FastCommit(char* to) { cur_ = to; }
    bool FastAtEnd(const char* p) const { return p == end_; }

    static char* FastSkipSpace(char* p) {
        while (text::IsSpace(*p))
            ++p;
        return p;
    }
    // Unsigned decimal digits (at least one), modulo 2^32; the position after them, or nullptr
    // when there is no digit.
    static inline char* FastDigits(char* p, std::uint32_t& value);
    // Hexadecimal digits likewise.
    static char* FastHexDigits(char* p, std::uint32_t& value);

    // "%d" and "%u".
    bool Decimal(std::uint32_t& value);
    // "%x".
    bool Hex(std::uint32_t& value);
    // "%s".
    bool Word(std::string& word);

private:
    bool Fail() {
        inputFailed_ = true;
        return false;
    }
    // Keeps the unread bytes and appends more input; false when none was added.
    bool Refill();
    // At least `n` unread bytes when the input holds them.
    void Ensure(std::size_t n) {
        while (static_cast<std::size_t>(end_ - cur_) < n && Refill()) {
        }
    }
    // Optional sign after white space; false when no input is left.
    bool Sign(bool& negative);
    // Digits in `base` appended to `value`, across buffer ends.
    void Digits(std::uint32_t base, std::uint32_t& value);
    // Skips to the end of the line (its line feed stays) and counts the line as cut.
    void SkipRestOfLine();

    ByteSource& source_;
    std::function<void(std::uint64_t, std::uint64_t)> progress_;
    std::size_t capacity_;
    std::unique_ptr<char[]> buffer_;
    char* cur_;
    char* end_;
    std::uint64_t base_ = 0; // input offset of buffer_[0]
    std::uint64_t read_ = 0; // bytes taken from the source
    bool atEnd_ = false;
    bool inputFailed_ = false;
    std::uint64_t linesCut_ = 0;
};

inline char* TextScanner::FastDigits(char* p, std::uint32_t& value) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    std::uint32_t v = 0;
    bool any = false;
    for (;;) {
        std::uint64_t chunk;
        std::memcpy(&chunk, p, sizeof chunk); // the first character in the lowest byte
        const std::uint64_t digits = chunk - 0x30 * kOnes;
        // A byte below '0' borrows into its top bit, a byte above '9' carries into it once 0x46
        // is added; bytes below the first non-digit neither borrow nor carry, so the lowest
        // flagged byte is the first non-digit.
        const std::uint64_t flagged = (digits | (chunk + 0x46 * kOnes)) & (0x80 * kOnes);
        const int count = flagged == 0 ? 8 : std::countr_zero(flagged) / 8;
        if (count == 0)
            break;
        any = true;
        // The digits moved to the top bytes, leading zeros below, then combined pairwise.
        std::uint64_t x = digits << (8 * (8 - count));
        x = x * 10 + (x >> 8);
        x = (((x & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
             (((x >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
            32;
        static constexpr std::uint32_t kScale[9] = {1,      10,      100,      1000,     10000,
                                                    100000, 1000000, 10000000, 100000000};
        v = v * kScale[count] + static_cast<std::uint32_t>(x);
        p += count;
        if (count < 8)
            break;
    }
    if (!any)
        return nullptr;
    value = v;
    return p;
}

// One scanf call: directives run in order until the first that fails; the fields matched so
// far are kept and counted.
class ScanCall {
public:
    explicit ScanCall(TextScanner& in) : in_(in) {}

    ScanCall& Space() {
        if (ok_)
            in_.SkipSpace();
        return *this;
    }
    ScanCall& Char(char c) {
        ok_ = ok_ && in_.Char(c);
        return *this;
    }
    ScanCall& Text(std::string_view text) {
        for (const char c : text)
            Char(c);
        return *this;
    }
    ScanCall& Decimal(std::uint32_t& value) { return Count(ok_ && in_.Decimal(value)); }
    ScanCall& Hex(std::uint32_t& value) { return Count(ok_ && in_.Hex(value)); }
    ScanCall& Word(std::string& word) { return Count(ok_ && in_.Word(word)); }

    int fields() const { return fields_; }

private:
    ScanCall& Count(bool matched) {
        ok_ = matched;
        fields_ += matched ? 1 : 0;
        return *this;
    }

    TextScanner& in_;
    bool ok_ = true;
    int fields_ = 0;
};

} // namespace zuta
