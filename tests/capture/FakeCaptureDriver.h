// A capture driver that needs no device: it connects after a set number of attempts (or
// never), hands out the frames a test queues, and writes every call into a log the test
// keeps after the capture window took the driver.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "capture/CaptureDriver.h"

struct FakeDriverLog {
    int connectAttempts = 0;
    std::vector<int> connectIndices;
    std::vector<std::uint32_t> periods;
    std::vector<std::string> calls;  // "connect", "disconnect", "period", "start", "stop"
    int framesTaken = 0;
};

class FakeCaptureDriver final : public CaptureDriver {
  public:
    static constexpr int kNever = -1;

    // Connects on attempt number connectOnAttempt (1 = the first), or never.
    FakeCaptureDriver(std::shared_ptr<FakeDriverLog> sharedLog, int attempt, VideoFormat format)
        : log(std::move(sharedLog)), connectOnAttempt(attempt), layout(format) {}

    bool connect(int index) override {
        log->calls.push_back("connect");
        log->connectIndices.push_back(index);
        ++log->connectAttempts;
        open = connectOnAttempt != kNever && log->connectAttempts >= connectOnAttempt;
        return open;
    }
    void disconnect() override {
        log->calls.push_back("disconnect");
        open = false;
        running = false;
    }
    void setFramePeriod(std::uint32_t microseconds) override {
        log->calls.push_back("period");
        log->periods.push_back(microseconds);
    }
    bool format(VideoFormat& format) const override {
        if (!open) {
            return false;
        }
        format = layout;
        return true;
    }
    void start() override {
        log->calls.push_back("start");
        running = open;
    }
    void stop() override {
        log->calls.push_back("stop");
        running = false;
    }
    bool takeFrame(std::vector<unsigned char>& frame) override {
        if (!running || frames.empty()) {
            return false;
        }
        frame = std::move(frames.front());
        frames.pop_front();
        ++log->framesTaken;
        return true;
    }

    // Frames handed out, oldest first, while started.
    std::deque<std::vector<unsigned char>> frames;

  private:
    std::shared_ptr<FakeDriverLog> log;
    int connectOnAttempt;
    VideoFormat layout;
    bool open = false;
    bool running = false;
};
