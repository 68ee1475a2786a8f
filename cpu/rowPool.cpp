#include "cpu/rowPool.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Band `index` of `bands` over rows [0, rows): 64-bit products, as rows × bands may not fit
// an int.
void runBand(const RowBand& band, int rows, int bands, int index) {
    const auto edge = [&](int i) { return static_cast<int>(std::int64_t{rows} * i / bands); };
    band(edge(index), edge(index + 1));
}

class RowPool {
  public:
    explicit RowPool(int threads) {
        for (int i = 1; i < threads; ++i) {
            workers_.emplace_back([this, i] { work(i); });
        }
    }
    ~RowPool() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        for (std::thread& worker : workers_) {
            worker.join();
        }
    }
    RowPool(const RowPool&) = delete;
    RowPool& operator=(const RowPool&) = delete;

    int threads() const { return static_cast<int>(workers_.size()) + 1; }

    // One call at a time: a call from inside a band, or from another thread while the pool
    // is busy, does its rows itself.
    void run(int rows, const RowBand& band) {
        const int bands = rows < threads() ? rows : threads();
        if (bands <= 1 || busy_.exchange(true)) {
            band(0, rows);
            return;
        }
        {
            const std::lock_guard lock(mutex_);
            band_ = &band;
            rows_ = rows;
            bands_ = bands;
            pending_ = bands - 1;
            ++generation_;
        }
        wake_.notify_all();
        runBand(band, rows, bands, 0);
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return pending_ == 0; });
        band_ = nullptr;
        busy_ = false;
    }

  private:
    void work(int index) {
        std::uint64_t seen = 0;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) {
                return;
            }
            seen = generation_;
            if (index >= bands_) {
                continue;  // fewer rows than threads: no band for this one
            }
            const RowBand& band = *band_;
            const int rows = rows_;
            const int bands = bands_;
            lock.unlock();
            runBand(band, rows, bands, index);
            lock.lock();
            if (--pending_ == 0) {
                done_.notify_one();
            }
        }
    }

    std::atomic<bool> busy_{false};
    std::mutex mutex_;  // guards everything below
    std::condition_variable wake_;
    std::condition_variable done_;
    const RowBand* band_ = nullptr;
    int rows_ = 0;
    int bands_ = 0;
    int pending_ = 0;
    std::uint64_t generation_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> workers_;  // last: its threads start once the rest exists
};

int defaultThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

// The process-wide pool, made on first use; its destructor joins the threads at exit.
std::mutex poolMutex;
std::unique_ptr<RowPool> pool;
int requestedThreads = 0;

RowPool& sharedPool() {
    const std::lock_guard lock(poolMutex);
    if (pool == nullptr) {
        pool =
            std::make_unique<RowPool>(requestedThreads > 0 ? requestedThreads : defaultThreads());
    }
    return *pool;
}

}  // namespace

void runRowBands(int rows, const RowBand& band) {
    if (rows > 0) {
        sharedPool().run(rows, band);
    }
}

int rowThreads() {
    return sharedPool().threads();
}

void releaseRowPool() {
    const std::lock_guard lock(poolMutex);
    pool.reset();
}

void setRowThreads(int n) {
    const std::lock_guard lock(poolMutex);
    if (pool != nullptr && pool->threads() == (n > 0 ? n : defaultThreads())) {
        return;
    }
    pool.reset();
    requestedThreads = n;
}
