#include "files/ExecutableVersion.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <vector>

namespace zuta {

namespace {

using Bytes = std::span<const std::uint8_t>;

constexpr std::uint32_t kResourceTypeVersion = 16;
constexpr std::uint32_t kFirstVersionResource = 1;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;
constexpr std::uint16_t kTextValue = 1;
// Bigger than any executable the version is read of; such a file is not read in whole.
constexpr std::uintmax_t kLargestImage = std::uintmax_t{256} << 20;

bool Fits(Bytes b, std::size_t at, std::size_t n) {
    return at <= b.size() && n <= b.size() - at;
}

std::uint16_t U16(Bytes b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

std::uint32_t U32(Bytes b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::size_t Align4(std::size_t at) {
    return at + (4 - at % 4) % 4;
}

// The sections of a PE image and where its resource tree starts, as relative virtual addresses.
class PeImage {
public:
    explicit PeImage(Bytes bytes) : bytes_(bytes) {
        if (!Fits(bytes, 0, 64) || bytes[0] != 'M' || bytes[1] != 'Z')
            return;
        const std::size_t pe = U32(bytes, 0x3C);
        if (!Fits(bytes, pe, 24) || U32(bytes, pe) != 0x00004550u) // "PE\0\0"
            return;
        const std::size_t sectionCount = U16(bytes, pe + 6);
        const std::size_t optionalSize = U16(bytes, pe + 20);
        const std::size_t optional = pe + 24;
        if (optionalSize < 2 || !Fits(bytes, optional, 2))
            return;
        // The data directories follow the fields of PE32 or of PE32+.
        std::size_t countAt = 0;
        switch (U16(bytes, optional)) {
        case 0x10B:
            countAt = 92;
            break;
        case 0x20B:
            countAt = 108;
            break;
        default:
            return;
        }
        constexpr std::size_t kResourceEntry = 2;
        const std::size_t entryAt = countAt + 4 + kResourceEntry * 8;
        if (optionalSize < entryAt + 8 || !Fits(bytes, optional, entryAt + 8) ||
            U32(bytes, optional + countAt) <= kResourceEntry)
            return;
        resourceRva_ = U32(bytes, optional + entryAt);
        const std::size_t table = optional + optionalSize;
        for (std::size_t i = 0; i < sectionCount && Fits(bytes, table + i * 40, 40); ++i) {
            const std::size_t s = table + i * 40;
            sections_.push_back({U32(bytes, s + 12), U32(bytes, s + 16), U32(bytes, s + 20)});
        }
    }

    // The file's bytes from a relative virtual address to the end of its section's data; empty
    // when no section holds the address in the file.
    Bytes At(std::uint32_t rva) const {
        for (const Section& s : sections_) {
            if (rva < s.address || rva - s.address >= s.rawSize || s.rawOffset > bytes_.size())
                continue;
            const Bytes raw = bytes_.subspan(
                s.rawOffset, std::min<std::size_t>(s.rawSize, bytes_.size() - s.rawOffset));
            const std::size_t inside = rva - s.address;
            return inside < raw.size() ? raw.subspan(inside) : Bytes{};
        }
        return {};
    }

    std::uint32_t resourceRva() const { return resourceRva_; }

private:
    struct Section {
        std::uint32_t address;
        std::uint32_t rawSize;
        std::uint32_t rawOffset;
    };

    Bytes bytes_;
    std::vector<Section> sections_;
    std::uint32_t resourceRva_ = 0;
};

// The data word of the entry of the resource directory at `at` with identifier `id` (the first
// entry when `id` is not given); none when the directory has no such entry.
std::optional<std::uint32_t> FindResourceEntry(Bytes tree, std::size_t at,
                                               std::optional<std::uint32_t> id) {
    if (!Fits(tree, at, 16))
        return std::nullopt;
    const std::size_t count = std::size_t{U16(tree, at + 12)} + U16(tree, at + 14);
    for (std::size_t i = 0; i < count && Fits(tree, at + 16 + i * 8, 8); ++i) {
        const std::size_t entry = at + 16 + i * 8;
        const std::uint32_t name = U32(tree, entry);
        if (!id || ((name & kSubdirectoryBit) == 0 && name == *id))
            return U32(tree, entry + 4);
    }
    return std::nullopt;
}

// The bytes of the executable's first version resource, or empty.
Bytes VersionResource(const PeImage& image) {
    if (image.resourceRva() == 0)
        return {};
    const Bytes tree = image.At(image.resourceRva());
    const auto type = FindResourceEntry(tree, 0, kResourceTypeVersion);
    if (!type || (*type & kSubdirectoryBit) == 0)
        return {};
    const std::size_t names = *type & ~kSubdirectoryBit;
    auto name = FindResourceEntry(tree, names, kFirstVersionResource);
    if (!name)
        name = FindResourceEntry(tree, names, std::nullopt);
    if (!name || (*name & kSubdirectoryBit) == 0)
        return {};
    const auto language = FindResourceEntry(tree, *name & ~kSubdirectoryBit, std::nullopt);
    if (!language || (*language & kSubdirectoryBit) != 0 || !Fits(tree, *language, 8))
        return {};
    const Bytes data = image.At(U32(tree, *language));
    return data.first(std::min<std::size_t>(U32(tree, *language + 4), data.size()));
}

// One block of a version resource: length, value length, type, key, value, children.
struct VersionBlock {
    std::size_t end = 0;
    std::u16string key;
    std::size_t valueStart = 0;
    std::size_t valueEnd = 0;
    std::size_t childrenStart = 0;
};

std::optional<VersionBlock> ReadBlock(Bytes v, std::size_t at, std::size_t limit) {
    if (at > limit || limit - at < 6)
        return std::nullopt;
    const std::size_t length = U16(v, at);
    if (length < 6 || length > limit - at)
        return std::nullopt;
    VersionBlock block;
    block.end = at + length;
    std::size_t p = at + 6;
    for (;;) {
        if (p + 2 > block.end)
            return std::nullopt;
        const std::uint16_t unit = U16(v, p);
        p += 2;
        if (unit == 0)
            break;
        block.key.push_back(static_cast<char16_t>(unit));
    }
    const std::size_t valueUnits = U16(v, at + 2);
    const std::size_t valueBytes = U16(v, at + 4) == kTextValue ? valueUnits * 2 : valueUnits;
    block.valueStart = std::min(Align4(p), block.end);
    block.valueEnd = std::min(block.valueStart + valueBytes, block.end);
    block.childrenStart = std::min(Align4(block.valueEnd), block.end);
    return block;
}

bool KeyIs(const std::u16string& key, std::string_view name) {
    const auto lower = [](char32_t c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
    return key.size() == name.size() &&
           std::equal(key.begin(), key.end(), name.begin(), [&](char16_t k, char n) {
               return lower(k) == lower(static_cast<unsigned char>(n));
           });
}

std::optional<VersionBlock> FindChild(Bytes v, const VersionBlock& parent, std::string_view key) {
    for (std::size_t p = parent.childrenStart;;) {
        const auto child = ReadBlock(v, p, parent.end);
        if (!child)
            return std::nullopt;
        if (KeyIs(child->key, key))
            return child;
        p = Align4(child->end);
    }
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 text up to its terminator; a lone surrogate becomes U+FFFD.
std::string TextValue(Bytes v, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t p = from; p + 2 <= to; p += 2) {
        const char32_t unit = U16(v, p);
        if (unit == 0)
            break;
        if (unit >= 0xD800 && unit < 0xDC00 && p + 4 <= to) {
            const char32_t low = U16(v, p + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                p += 2;
                continue;
            }
        }
        AppendUtf8(text, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    return text;
}

} // namespace

std::string ReadExecutableVersion(std::span<const std::uint8_t> image) {
    const Bytes v = VersionResource(PeImage(image));
    const auto root = ReadBlock(v, 0, v.size());
    if (!root || !KeyIs(root->key, "VS_VERSION_INFO"))
        return {};
    const auto strings = FindChild(v, *root, "StringFileInfo");
    const auto table = strings ? FindChild(v, *strings, "040904b0") : std::nullopt;
    const auto version = table ? FindChild(v, *table, "FileVersion") : std::nullopt;
    return version ? TextValue(v, version->valueStart, version->valueEnd) : std::string();
}

std::string ReadExecutableVersionOfFile(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kLargestImage || !std::filesystem::is_regular_file(path, ec))
        return {};
    std::ifstream in(path, std::ios::binary);
    char magic[2] = {};
    // Anything else than a Windows executable is not read further.
    if (!in.read(magic, 2) || magic[0] != 'M' || magic[1] != 'Z')
        return {};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
        return {};
    return ReadExecutableVersion(bytes);
}

} // namespace zuta
