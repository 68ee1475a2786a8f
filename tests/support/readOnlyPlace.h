// Makes a file or a folder read-only while the object lives: its write permissions go, and
// where this process would write anyway (as root) the immutable attribute is set as well.
// works() tells whether the place now refuses writes.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

class ReadOnlyPlace {
  public:
    explicit ReadOnlyPlace(std::string place) : path(std::move(place)) {
        struct stat status {};
        if (::stat(path.c_str(), &status) != 0)
            return;
        mode = status.st_mode & 07777;
        ::chmod(path.c_str(), mode & ~mode_t{0222});
        immutable = ::geteuid() == 0 && setImmutable(true);
    }
    ~ReadOnlyPlace() {
        if (immutable)
            setImmutable(false);
        ::chmod(path.c_str(), mode);
    }
    bool works() const { return ::geteuid() != 0 || immutable; }

  private:
    bool setImmutable(bool on) const {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        int flags = 0;
        const bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                          (flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL,
                           ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
        if (fd >= 0)
            ::close(fd);
        return done;
    }
    std::string path;
    mode_t mode = 0;
    bool immutable = false;
};
