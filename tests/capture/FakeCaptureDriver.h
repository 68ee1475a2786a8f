// A capture driver without a device: it opens on a chosen attempt (never for 0, then
// reporting `failure`), hands out the frames a test queues and logs every call.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureDriver.h"

struct FakeDriverLog {
    int connects = 0;
    std::vector<std::string> calls;  // "connect 0", "period 33333", "start", "stop", "disconnect"
    std::deque<std::vector<unsigned char>> frames;  // taken oldest first while started
};

class FakeCaptureDriver final : public CaptureDriver {
  public:
    FakeCaptureDriver(std::shared_ptr<FakeDriverLog> sharedLog, int attempt, VideoFormat format,
                      OpenFailure reported)
        : log(std::move(sharedLog)),
          opensOn(attempt),
          layout(format),
          failure(std::move(reported)) {}

    bool connect(int index) override {
        log->calls.push_back("connect " + std::to_string(index));
        open = opensOn > 0 && ++log->connects >= opensOn;
        return open;
    }
    void disconnect() override { log->calls.push_back("disconnect"), open = running = false; }
    OpenFailure openFailure() const override { return open ? OpenFailure{} : failure; }
    void setFramePeriod(std::uint32_t us) override {
        log->calls.push_back("period " + std::to_string(us));
    }
    bool format(VideoFormat& format) const override { return open && (format = layout, true); }
    void start() override { log->calls.push_back("start"), running = open; }
    void stop() override { log->calls.push_back("stop"), running = false; }
    bool takeFrame(std::vector<unsigned char>& frame) override {
        if (!running || log->frames.empty()) {
            return false;
        }
        frame = std::move(log->frames.front());
        log->frames.pop_front();
        return true;
    }

  private:
    std::shared_ptr<FakeDriverLog> log;
    int opensOn;
    VideoFormat layout;
    OpenFailure failure;
    bool open = false;
    bool running = false;
};

// Makes every new capture window use a fake driver; the log of all of them.
inline std::shared_ptr<FakeDriverLog> useFakeDriver(int opensOn, VideoFormat format,
                                                    OpenFailure failure = {}) {
    auto log = std::make_shared<FakeDriverLog>();
    captureDriverFactory = [=] {
        return std::make_unique<FakeCaptureDriver>(log, opensOn, format, failure);
    };
    return log;
}
