// While the object lives, a file or folder refuses writes: its write permissions go and,
// for root (whom permissions do not stop), its immutable attribute is set. works() tells
// whether it now refuses them.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

struct ReadOnlyPlace {
    explicit ReadOnlyPlace(std::string place) : path(std::move(place)) {
        mode = mode_t(std::filesystem::status(path).permissions());
        ::chmod(path.c_str(), mode & ~mode_t{0222});
        immutable = ::geteuid() == 0 && setImmutable(FS_IMMUTABLE_FL);
    }
    ~ReadOnlyPlace() {
        if (immutable)
            setImmutable(0);
        ::chmod(path.c_str(), mode);
    }
    bool works() const { return ::geteuid() != 0 || immutable; }

    bool setImmutable(int on) const {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        int flags = 0;
        const bool done =
            fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
            (flags = (flags & ~FS_IMMUTABLE_FL) | on, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
        ::close(fd);
        return done;
    }
    std::string path;
    mode_t mode = 0;
    bool immutable = false;
};
