#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace zuta::host {

// Writes a file so that a crash or failure at any point leaves either the old file or the complete
// new one: the data goes to a temporary file beside the target, is flushed to disk and then renamed
// over the target. Destroying an uncommitted writer removes the temporary file.
//
// - A path that is a symbolic link is followed: the link's final target is replaced and the link
//   stays a link.
// - A path that exists and is neither a regular file nor a folder (a device such as /dev/null, a
//   FIFO) is written into directly; there is nothing to replace. Opening a FIFO waits for its
//   reader, as any writer of a FIFO does.
// - The temporary file is named "<target>.tmp<process id>-XXXXXX". While it exists, SIGINT and
//   SIGTERM remove it before they end the process (unless the program handles them itself), and
//   the next writer of the same target removes those that processes no longer running left behind.
// - Every error message ends in the system's reason, e.g. "cannot write 'x': No space left on
//   device".
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
    enum class DirectOpen { Opened, Failed, RegularFile };
    DirectOpen OpenDirect(std::string& error);
    void Fail(int error);

    std::FILE* file_ = nullptr;
    std::string path_;   // as given, for messages
    std::string target_; // with symbolic links followed
    std::string tempPath_;
    int slot_ = -1; // entry in the registry of temporary files the signal handler removes
    bool direct_ = false;
    int error_ = 0; // the system error of the first failed write
};

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error);

} // namespace zuta::host
