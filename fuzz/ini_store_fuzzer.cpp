// Feeds arbitrary text to the INI reader: it must never crash, must rewrite its own output
// unchanged, and any value written into the text must read back exactly. The same bytes also reach
// a settings store through the file system, without a file made per input: as a regular file
// (memory backed) it reads them as the parser does, and through a pipe it must refuse them at
// once, reading nothing. Devices that never end and files beyond the size bound are tested by the
// unit tests, since an input cannot be one.
#include "host/IniSettingsStore.h"
#include "host/SettingsText.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

std::string FdPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

// A memory-backed regular file and a pipe, made once and refilled for every input.
struct Inputs {
    Inputs() {
        file = ::memfd_create("ini-store-fuzz", MFD_CLOEXEC);
        Check(file >= 0 && ::pipe2(pipe, O_CLOEXEC | O_NONBLOCK) == 0);
    }
    int file = -1;
    int pipe[2] = {-1, -1};
};

void CheckStoreReads(std::string_view text) {
    using zuta::host::IniSettingsStore;
    static const Inputs inputs;
    static IniSettingsStore fromFile(FdPath(inputs.file));
    static IniSettingsStore fromPipe(FdPath(inputs.pipe[0]));

    Check(::ftruncate(inputs.file, 0) == 0);
    Check(::pwrite(inputs.file, text.data(), text.size(), 0) == static_cast<ssize_t>(text.size()));
    Check(fromFile.Reload());
    Check(fromFile.Text() == zuta::host::IniDocument::Parse(text).Serialize());

    // What does not fit the pipe stays out; the store must not read even what went in.
    const ssize_t queued = ::write(inputs.pipe[1], text.data(), text.size());
    Check(!fromPipe.Reload() && fromPipe.lastError().ends_with("it is not a regular file"));
    char drained[4096];
    ssize_t left = queued > 0 ? queued : 0;
    while (left > 0) {
        const ssize_t n = ::read(inputs.pipe[0], drained, sizeof drained);
        Check(n > 0);
        left -= n;
    }
    Check(::read(inputs.pipe[0], drained, 1) < 0 && errno == EAGAIN);

    // Empty again, so that what this input allocated is freed within it.
    Check(::ftruncate(inputs.file, 0) == 0 && fromFile.Reload());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using zuta::host::IniDocument;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    std::vector<zuta::host::IniParseIssue> issues;
    IniDocument doc = IniDocument::Parse(text, &issues);
    for (const auto& issue : issues)
        Check(issue.line >= 1 && issue.line <= size && !issue.message.empty());

    const std::string once = doc.Serialize();
    const IniDocument again = IniDocument::Parse(once);
    Check(again.Serialize() == once);
    for (const std::string& section : doc.Sections()) {
        for (const std::string& key : doc.Keys(section)) {
            const std::optional<std::string> before = doc.Find(section, key);
            const std::optional<std::string> after = again.Find(section, key);
            Check(before && after && *before == *after);
            zuta::host::ParseSettingsInt(*before);
        }
    }

    // The input itself as a value, both as a new key and over the first existing one.
    Check(doc.Set("fuzz", "value", text) == IniDocument::SetResult::Changed ||
          *doc.Find("fuzz", "value") == text);
    const auto sections = doc.Sections();
    std::string firstSection;
    std::string firstKey;
    if (!sections.empty() && !doc.Keys(sections.front()).empty()) {
        firstSection = sections.front();
        firstKey = doc.Keys(firstSection).front();
        Check(doc.Set(firstSection, firstKey, text) != IniDocument::SetResult::Refused);
    }
    const IniDocument written = IniDocument::Parse(doc.Serialize());
    std::optional<std::string> value = written.Find("fuzz", "value");
    Check(value && *value == text);
    if (!firstKey.empty()) {
        value = written.Find(firstSection, firstKey);
        Check(value && *value == text);
    }
    CheckStoreReads(text);
    return 0;
}
