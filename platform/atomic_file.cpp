#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/log_sink.h"
#include "platform/persist.h"

bool atomicWriteFailsBeforeRename = false;

namespace {

bool WriteAll(int fd, const char* bytes, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The rename is an entry of the folder: flushing the folder keeps it across a power cut. A file
// system that cannot flush a folder still has the file whole, so a failure here is only noted.
void FlushFolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    if (fsync(fd) != 0 && errno != EINVAL)
        PlatformLog("cannot flush the folder %s: %s\n", folder.c_str(), std::strerror(errno));
    close(fd);
}

// Writes the temporary file through `fill`, flushes it and renames it over `path`.
template <typename Fill>
bool ReplaceFile(const char* path, Fill fill) {
    const std::string temp = std::string(path) + ".tmp";
    // Whatever an earlier crash left at the temporary name goes first (a link included, never the
    // file it points to); the file is then made new, so nothing is written through a link.
    unlink(temp.c_str());
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) {
        PlatformLog("cannot create %s: %s\n", temp.c_str(), std::strerror(errno));
        return false;
    }
    const char* failed = nullptr;
    int error = 0;
    if (!fill(fd)) {
        failed = "write", error = errno;
    } else if (fsync(fd) != 0) {
        failed = "flush", error = errno;
    }
    if (close(fd) != 0 && !failed) failed = "close", error = errno;
    if (!failed && atomicWriteFailsBeforeRename) failed = "rename (interrupted for a test)", error = EINTR;
    if (!failed && rename(temp.c_str(), path) != 0) failed = "rename", error = errno;
    if (failed) {
        PlatformLog("cannot replace %s: %s failed: %s\n", path, failed, std::strerror(error));
        unlink(temp.c_str());
        return false;
    }
    FlushFolderOf(path);
    SysPersistUserFiles();
    return true;
}

}  // namespace

bool WriteFileAtomically(const char* path, const void* bytes, size_t size) {
    return ReplaceFile(path, [&](int fd) { return WriteAll(fd, static_cast<const char*>(bytes), size); });
}

bool CopyFileAtomically(const char* from, const char* to) {
    const int in = open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        PlatformLog("cannot open %s: %s\n", from, std::strerror(errno));
        return false;
    }
    struct stat st;
    if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        PlatformLog("cannot copy %s: not a regular file\n", from);
        close(in);
        return false;
    }
    const bool copied = ReplaceFile(to, [&](int out) {
        char buffer[65536];
        for (;;) {
            const ssize_t n = read(in, buffer, sizeof(buffer));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return false;
            if (n == 0) return true;
            if (!WriteAll(out, buffer, static_cast<size_t>(n))) return false;
        }
    });
    close(in);
    return copied;
}
