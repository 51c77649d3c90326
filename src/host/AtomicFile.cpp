#include "host/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace zuta::host {

namespace {

std::string SystemText(int error) {
    return std::strerror(error != 0 ? error : EIO);
}

std::string ErrnoText(const std::string& what, const std::string& path) {
    return what + " '" + path + "': " + SystemText(errno);
}

// ---- Temporary files the signal handler removes -----------------------------------------------
// A fixed table, since a signal handler may take no lock and use no heap. A slot is free, being
// filled, or names a live temporary file.
constexpr int kSlotFree = 0;
constexpr int kSlotFilling = 1;
constexpr int kSlotLive = 2;
constexpr std::size_t kSlotPathSize = 4096;

struct TempSlot {
    std::atomic<int> state{kSlotFree};
    char path[kSlotPathSize];
};
static_assert(std::atomic<int>::is_always_lock_free);

TempSlot g_tempSlots[32];

void RemoveTempFilesAndReraise(int signal) {
    const int savedErrno = errno;
    for (TempSlot& slot : g_tempSlots)
        if (slot.state.load() == kSlotLive)
            ::unlink(slot.path);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    errno = savedErrno;
    // Pending while this handler runs; once it returns, the default action ends the process.
    ::raise(signal);
}

// SIGINT and SIGTERM with their default action would end the process and leave the temporary
// files behind. A program that handles them itself (or ignores them) keeps its choice.
void CatchTerminatingSignals() {
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0 ||
            current.sa_handler != SIG_DFL)
            continue;
        struct sigaction action {};
        action.sa_handler = &RemoveTempFilesAndReraise;
        sigemptyset(&action.sa_mask);
        sigaddset(&action.sa_mask, SIGINT);
        sigaddset(&action.sa_mask, SIGTERM);
        ::sigaction(signal, &action, nullptr);
    }
}

// The slot now naming `path`, or -1 when none is free (the file is then removed only by the next
// writer of its target).
int RegisterTempFile(const std::string& path) {
    if (path.size() >= kSlotPathSize)
        return -1;
    CatchTerminatingSignals();
    for (int i = 0; i < static_cast<int>(std::size(g_tempSlots)); ++i) {
        TempSlot& slot = g_tempSlots[i];
        int expected = kSlotFree;
        if (!slot.state.compare_exchange_strong(expected, kSlotFilling))
            continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(kSlotLive);
        return i;
    }
    return -1;
}

void UnregisterTempFile(int& slot) {
    if (slot >= 0)
        g_tempSlots[slot].state.store(kSlotFree);
    slot = -1;
}

// True when `suffix` (what follows "<target>.tmp") is "<process id>-XXXXXX" as Open makes it.
bool ParseTempSuffix(std::string_view suffix, pid_t& pid) {
    const std::size_t dash = suffix.find('-');
    if (dash == std::string_view::npos || dash == 0 || suffix.size() - dash - 1 != 6)
        return false;
    const char* last = suffix.data() + dash;
    const auto parsed = std::from_chars(suffix.data(), last, pid);
    if (parsed.ec != std::errc() || parsed.ptr != last || pid <= 0)
        return false;
    for (const char c : suffix.substr(dash + 1))
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

// Removes the temporary files of `target` whose writers no longer run: a kill that no handler
// could catch left them.
void RemoveStaleTempFiles(const std::string& target) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string prefix =
        (slash == std::string::npos ? target : target.substr(slash + 1)) + ".tmp";
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        pid_t pid = 0;
        if (!name.starts_with(prefix) || !ParseTempSuffix(name.substr(prefix.size()), pid))
            continue;
        // EPERM: the process runs under another user.
        if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        ::unlinkat(::dirfd(dir.get()), entry->d_name, 0);
    }
}

// The name a dangling symbolic link points to, following a chain of them; false (errno set) for
// a loop.
bool FollowDanglingLinks(std::string& path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return true;
        std::string link(static_cast<std::size_t>(info.st_size) + 256, '\0');
        const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length < 0)
            return true;
        link.resize(static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        path = link.starts_with('/') || slash == std::string::npos
                   ? link
                   : path.substr(0, slash + 1) + link;
    }
    errno = ELOOP;
    return false;
}

} // namespace

AtomicFileWriter::~AtomicFileWriter() {
    Discard();
}

bool AtomicFileWriter::Open(const std::string& path, std::string& error) {
    Discard();
    path_ = path;
    target_ = path;
    direct_ = false;
    error_ = 0;

    struct stat existing {};
    const bool exists = ::stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        error = "cannot write '" + path + "': " + SystemText(EISDIR);
        return false;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        switch (OpenDirect(error)) {
        case DirectOpen::Opened:
            return true;
        case DirectOpen::Failed:
            return false;
        case DirectOpen::RegularFile:
            break;
        }
    }
    if (exists) {
        // Replace the file a symbolic link leads to, not the link.
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr)
            target_ = resolved;
    } else if (!FollowDanglingLinks(target_)) {
        error = ErrnoText("cannot write", path);
        return false;
    }

    RemoveStaleTempFiles(target_);
    std::string pattern = target_ + ".tmp" + std::to_string(::getpid()) + "-XXXXXX";
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        error = ErrnoText("cannot create a file beside", path);
        return false;
    }
    slot_ = RegisterTempFile(pattern);
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        error = ErrnoText("cannot open", pattern);
        ::close(fd);
        ::unlink(pattern.c_str());
        UnregisterTempFile(slot_);
        return false;
    }
    // mkstemp creates the file for its owner only; keep the mode of the file it replaces, or give
    // a new file the usual one.
    ::fchmod(fd, exists ? (existing.st_mode & 07777) : 0644);
    tempPath_ = pattern;
    return true;
}

AtomicFileWriter::DirectOpen AtomicFileWriter::OpenDirect(std::string& error) {
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = ErrnoText("cannot open", path_);
        return DirectOpen::Failed;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode)) {
        // It became a regular file since it was looked at.
        ::close(fd);
        return DirectOpen::RegularFile;
    }
    file_ = ::fdopen(fd, "wb");
    if (file_ == nullptr) {
        error = ErrnoText("cannot open", path_);
        ::close(fd);
        return DirectOpen::Failed;
    }
    direct_ = true;
    return DirectOpen::Opened;
}

void AtomicFileWriter::Fail(int error) {
    if (error_ == 0)
        error_ = error != 0 ? error : EIO;
}

bool AtomicFileWriter::Write(std::string_view data) {
    if (file_ == nullptr || error_ != 0)
        return false;
    errno = 0;
    if (!data.empty() && std::fwrite(data.data(), 1, data.size(), file_) != data.size())
        Fail(errno);
    return error_ == 0;
}

bool AtomicFileWriter::Commit(std::string& error) {
    if (file_ == nullptr) {
        error = "no file open";
        return false;
    }
    // A write through file() that failed left no reason behind; flushing again tells it.
    errno = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_) != 0)
        Fail(errno);
    // A device or FIFO takes the data as it comes; only a file has anything to sync.
    if (error_ == 0 && !direct_ && ::fsync(::fileno(file_)) != 0)
        Fail(errno);
    if (std::fclose(file_) != 0)
        Fail(errno);
    file_ = nullptr;
    bool ok = error_ == 0;
    if (!ok)
        error = "cannot write '" + path_ + "': " + SystemText(error_);
    if (ok && !direct_ && std::rename(tempPath_.c_str(), target_.c_str()) != 0) {
        ok = false;
        error = ErrnoText("cannot replace", path_);
    }
    if (!ok && !tempPath_.empty())
        ::unlink(tempPath_.c_str());
    UnregisterTempFile(slot_);
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
    UnregisterTempFile(slot_);
}

bool WriteFileAtomically(const std::string& path, std::string_view content, std::string& error) {
    AtomicFileWriter writer;
    if (!writer.Open(path, error))
        return false;
    writer.Write(content);
    return writer.Commit(error);
}

} // namespace zuta::host
