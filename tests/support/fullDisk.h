// The largest file this process may write, lowered while the object lives: writes beyond it
// fail as on a full disk (the signal that comes with it is ignored).
#pragma once

#include <sys/resource.h>

#include <csignal>

struct FullDisk {
    explicit FullDisk(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit lowered{bytes, saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FullDisk() {
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }
    rlimit saved{};
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
};
