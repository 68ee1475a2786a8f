// The largest file this process may write, lowered while the object lives: writes beyond
// it fail as on a full disk (the signal that comes with it is ignored). Header-only and
// toolkit-free, for the image tests and the dialog tests alike.
#pragma once

#include <sys/resource.h>

#include <csignal>

class FullDisk {
  public:
    explicit FullDisk(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FullDisk() {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

  private:
    rlimit saved{};
    void (*previous)(int) = nullptr;
};
