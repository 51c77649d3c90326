#include "host/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zuta::host {

namespace {
std::string ErrnoText(const std::string& what, const std::string& path) {
    return what + " '" + path + "': " + std::strerror(errno);
}
} // namespace

AtomicFileWriter::~AtomicFileWriter() {
    Discard();
}

bool AtomicFileWriter::Open(const std::string& path, std::string& error) {
    Discard();
    path_ = path;
    std::string pattern = path + ".tmpXXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        error = ErrnoText("cannot create a file beside", path);
        return false;
    }
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        error = ErrnoText("cannot open", pattern);
        ::close(fd);
        ::unlink(pattern.c_str());
        return false;
    }
    // mkstemp creates the file for its owner only; keep the mode of the file it replaces, or give
    // a new file the usual one.
    struct stat existing {};
    ::fchmod(fd, ::stat(path.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644);
    tempPath_ = pattern;
    failed_ = false;
    return true;
}

bool AtomicFileWriter::Write(std::string_view data) {
    if (file_ == nullptr || failed_)
        return false;
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), file_) != data.size())
        failed_ = true;
    return !failed_;
}

bool AtomicFileWriter::Commit(std::string& error) {
    if (file_ == nullptr) {
        error = "no file open";
        return false;
    }
    bool ok = !failed_ && std::ferror(file_) == 0;
    if (!ok)
        error = ErrnoText("cannot write", path_);
    if (ok && std::fflush(file_) != 0) {
        ok = false;
        error = ErrnoText("cannot write", path_);
    }
    if (ok && ::fsync(::fileno(file_)) != 0) {
        ok = false;
        error = ErrnoText("cannot flush", path_);
    }
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        error = ErrnoText("cannot close", path_);
    }
    file_ = nullptr;
    if (ok && std::rename(tempPath_.c_str(), path_.c_str()) != 0) {
        ok = false;
        error = ErrnoText("cannot replace", path_);
    }
    if (!ok)
        ::unlink(tempPath_.c_str());
    tempPath_.clear();
    return ok;
}

void AtomicFileWriter::Discard() {
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (!tempPath_.empty()) {
        ::unlink(tempPath_.c_str());
        tempPath_.clear();
    }
}

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error) {
    AtomicFileWriter writer;
    if (!writer.Open(path, error))
        return false;
    writer.Write(content);
    return writer.Commit(error);
}

} // namespace zuta::host
