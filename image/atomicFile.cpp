#include "image/atomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace {

// mkstemp makes files only the owner may read; a saved file gets the usual mode.
mode_t savedFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0644 & ~mask;
}

// Where a save really goes, and with which mode. False when the place is taken by something
// that is no regular file (a device, a FIFO, a folder) or by a file that may not be
// written: those stay as they are.
bool saveTarget(const char* path, std::string& target, mode_t& mode) {
    target = path;
    mode = savedFileMode();
    if (char* resolved = ::realpath(path, nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    struct stat status {};
    if (::stat(target.c_str(), &status) != 0) {
        return errno == ENOENT;  // a new file
    }
    if (!S_ISREG(status.st_mode) || ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return false;
    }
    mode = status.st_mode & 07777;  // a replaced file keeps its mode
    return true;
}

}  // namespace

bool writeAll(int fd, const void* data, std::size_t n) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (n > 0) {
        const ssize_t done = ::write(fd, p, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        p += done;
        n -= static_cast<std::size_t>(done);
    }
    return true;
}

bool writeFileAtomically(const char* path, const std::function<bool(int fd)>& write) {
    std::string target;
    mode_t mode = 0;
    if (path == nullptr || !saveTarget(path, target, mode))
        return false;
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool written = ::fchmod(fd, mode) == 0 && write(fd) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (written && ::rename(temporary.c_str(), target.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}
