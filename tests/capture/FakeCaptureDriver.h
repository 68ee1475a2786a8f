// A capture driver without a device: it opens on attempt opensOn (never for 0, reporting
// `failure`), hands out the frames a test queues and logs every call. Opened with a
// `failure`, it fails that way once its frames run out.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureDriver.h"

struct FakeDriverLog {
    int opensOn = 1;
    VideoFormat format;
    CaptureFailure failure;
    int connects = 0;
    std::string calls;  // "connect 0;period 33333;start;stop;disconnect;"
    std::deque<std::vector<unsigned char>> frames;  // taken oldest first while started
};

struct FakeCaptureDriver final : CaptureDriver {
    explicit FakeCaptureDriver(std::shared_ptr<FakeDriverLog> shared) : log(std::move(shared)) {}
    bool connect(int index) override {
        log->calls += "connect " + std::to_string(index) + ";";
        failed = false;
        return open = log->opensOn > 0 && ++log->connects >= log->opensOn;
    }
    void disconnect() override { log->calls += "disconnect;", open = running = false; }
    CaptureFailure failure() const override {
        return open && !failed ? CaptureFailure{} : log->failure;
    }
    void setFramePeriod(std::uint32_t us) override {
        log->calls += "period " + std::to_string(us) + ";";
    }
    bool format(VideoFormat& format) const override { return open && (format = log->format, true); }
    void start() override { log->calls += "start;", running = open; }
    void stop() override { log->calls += "stop;", running = false; }
    bool takeFrame(std::vector<unsigned char>& frame) override {
        if (!running || log->frames.empty()) {
            failed = running && log->failure.cause != CaptureFailure::Cause::none;
            running = running && !failed;
            return false;
        }
        frame = std::move(log->frames.front());
        log->frames.pop_front();
        return true;
    }

    std::shared_ptr<FakeDriverLog> log;
    bool open = false, running = false, failed = false;
};

inline std::shared_ptr<FakeDriverLog> useFakeDriver(int opensOn, VideoFormat format,
                                                    CaptureFailure failure = {}) {
    auto log = std::make_shared<FakeDriverLog>(FakeDriverLog{opensOn, format, failure, 0, {}, {}});
    captureDriverFactory = [log] { return std::make_unique<FakeCaptureDriver>(log); };
    return log;
}
