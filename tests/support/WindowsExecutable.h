#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace zuta::test {

struct ExecutableSpec {
    bool withVersion = true; // false: no resources at all
    std::string fileVersion = "7.1.0.123";
    std::string table = "040904b0"; // language and code page of the string table
    bool pe32Plus = false;
};

// A small Windows executable laid out as a linker lays it out: DOS and PE headers, one resource
// section holding a version resource (fixed information, one string table, the translation).
inline std::vector<std::uint8_t> WindowsExecutable(const ExecutableSpec& spec = {}) {
    using Bytes = std::vector<std::uint8_t>;
    const auto put16 = [](Bytes& b, std::size_t at, std::uint32_t v) {
        b[at] = static_cast<std::uint8_t>(v);
        b[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    const auto put32 = [&](Bytes& b, std::size_t at, std::uint32_t v) {
        put16(b, at, v & 0xFFFF);
        put16(b, at + 2, v >> 16);
    };
    const auto pad = [](Bytes& b, std::size_t to) { b.resize((b.size() + to - 1) / to * to); };
    const auto utf16 = [](std::string_view text) {
        Bytes out;
        for (const char c : text) {
            out.push_back(static_cast<std::uint8_t>(c));
            out.push_back(0);
        }
        out.insert(out.end(), {0, 0});
        return out;
    };
    // One block: length, value length (text: in UTF-16 units), type, key, value, children.
    const std::function<void(Bytes&, std::string_view, bool, const Bytes&,
                             const std::function<void(Bytes&)>&)>
        block = [&](Bytes& b, std::string_view key, bool text, const Bytes& value,
                    const std::function<void(Bytes&)>& children) {
            const std::size_t start = b.size();
            b.resize(start + 6);
            put16(b, start + 2, static_cast<std::uint32_t>(text ? value.size() / 2 : value.size()));
            put16(b, start + 4, text ? 1 : 0);
            const Bytes name = utf16(key);
            b.insert(b.end(), name.begin(), name.end());
            pad(b, 4);
            b.insert(b.end(), value.begin(), value.end());
            if (children) {
                pad(b, 4);
                children(b);
            }
            put16(b, start, static_cast<std::uint32_t>(b.size() - start));
        };

    Bytes version;
    Bytes fixed(52, 0);
    put32(fixed, 0, 0xFEEF04BDu);
    put32(fixed, 4, 0x00010000u);
    block(version, "VS_VERSION_INFO", false, fixed, [&](Bytes& b) {
        block(b, "StringFileInfo", true, {}, [&](Bytes& b2) {
            block(b2, spec.table, true, {}, [&](Bytes& b3) {
                block(b3, "CompanyName", true, utf16("Example Tools"), nullptr);
                pad(b3, 4);
                block(b3, "FileVersion", true, utf16(spec.fileVersion), nullptr);
            });
        });
        pad(b, 4);
        block(b, "VarFileInfo", true, {}, [&](Bytes& b2) {
            block(b2, "Translation", false, {0x09, 0x04, 0xB0, 0x04}, nullptr);
        });
    });

    // The resource tree: type 16 (version) / name 1 / language 0x409 / data entry / data.
    constexpr std::uint32_t kSectionRva = 0x1000;
    Bytes resources(0x58, 0);
    for (const auto& [at, id, next] :
         {std::tuple{0x00u, 16u, 0x80000018u}, std::tuple{0x18u, 1u, 0x80000030u},
          std::tuple{0x30u, 0x409u, 0x48u}}) {
        put16(resources, at + 14, 1);
        put32(resources, at + 16, id);
        put32(resources, at + 20, next);
    }
    put32(resources, 0x48, kSectionRva + 0x58);
    put32(resources, 0x4C, static_cast<std::uint32_t>(version.size()));
    resources.insert(resources.end(), version.begin(), version.end());
    if (!spec.withVersion)
        resources.assign(16, 0); // an empty resource directory

    const std::size_t optionalSize = spec.pe32Plus ? 240 : 224;
    const std::size_t directories = spec.pe32Plus ? 112 : 96;
    Bytes image(0x200, 0);
    image[0] = 'M';
    image[1] = 'Z';
    put32(image, 0x3C, 0x40);
    put32(image, 0x40, 0x00004550u);
    put16(image, 0x44, spec.pe32Plus ? 0x8664 : 0x14C);
    put16(image, 0x46, 1);
    put16(image, 0x54, static_cast<std::uint32_t>(optionalSize));
    put16(image, 0x56, 0x0102);
    const std::size_t optional = 0x58;
    put16(image, optional, spec.pe32Plus ? 0x20B : 0x10B);
    put32(image, optional + 32, 0x1000); // section alignment
    put32(image, optional + 36, 0x200);  // file alignment
    put32(image, optional + 56, 0x2000); // size of image
    put32(image, optional + 60, 0x200);  // size of headers
    put16(image, optional + 68, 2);      // a windowed program
    put32(image, optional + directories - 4, 16);
    if (spec.withVersion) {
        put32(image, optional + directories + 16, kSectionRva);
        put32(image, optional + directories + 20, static_cast<std::uint32_t>(resources.size()));
    }
    const std::size_t section = optional + optionalSize;
    for (std::size_t i = 0; i < 5; ++i)
        image[section + i] = static_cast<std::uint8_t>(".rsrc"[i]);
    pad(resources, 0x200);
    put32(image, section + 8, static_cast<std::uint32_t>(resources.size()));
    put32(image, section + 12, kSectionRva);
    put32(image, section + 16, static_cast<std::uint32_t>(resources.size()));
    put32(image, section + 20, 0x200);
    put32(image, section + 36, 0x40000040u); // initialised data, readable
    image.insert(image.end(), resources.begin(), resources.end());
    return image;
}

} // namespace zuta::test
