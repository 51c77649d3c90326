#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace zuta::host {

// Writes a file so that a crash or failure at any point leaves either the old file or the complete
// new one: the data goes to a temporary file beside the target, is flushed to disk and then renamed
// over the target. Destroying an uncommitted writer removes the temporary file.
class AtomicFileWriter {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool Open(const std::string& path, std::string& error);
    std::FILE* file() const { return file_; }
    bool Write(std::string_view data);
    // Flushes, syncs and renames; false (the old file untouched) when any step or write failed.
    bool Commit(std::string& error);
    void Discard();

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    std::string tempPath_;
    bool failed_ = false;
};

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error);

} // namespace zuta::host
