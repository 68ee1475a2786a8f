// The largest file this process may write, lowered while the object lives: writes beyond it
// fail as on a full disk (the signal that comes with it is ignored).
#pragma once

#include <sys/resource.h>

#include <csignal>

class FullDisk {
  public:
    explicit FullDisk(rlim_t bytes) : previous(std::signal(SIGXFSZ, SIG_IGN)) {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        rlimit lowered = saved;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FullDisk() {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }

  private:
    rlimit saved{};
    void (*previous)(int);
};
