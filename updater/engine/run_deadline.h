// One deadline for a whole check or a whole installation, started with the run.
#pragma once
#include <algorithm>
#include <cstdint>

#include "http/download.h"
#include "platform/clock.h"

namespace velmo::updater {

class RunDeadline {
public:
    explicit RunDeadline(int limitMs) : end_(clock::tickMs() + static_cast<std::uint64_t>(std::max(limitMs, 0))) {}

    bool passed() const { return clock::tickMs() >= end_; }
    int remainingMs() const {
        const std::uint64_t now = clock::tickMs();
        return now >= end_ ? 0 : static_cast<int>(std::min<std::uint64_t>(end_ - now, INT32_MAX));
    }
    // The download's own waits, none longer than what is left of the run (1 ms at least:
    // a download past the deadline fails at once instead of waiting without limit).
    http::DownloadLimits cap(http::DownloadLimits limits) const {
        const int left = std::max(remainingMs(), 1);
        limits.firstByteWaitMs = std::min(limits.firstByteWaitMs, left);
        limits.readWaitMs = std::min(limits.readWaitMs, left);
        limits.responseLimitMs = std::min(limits.responseLimitMs, left);
        limits.sendLimitSeconds = std::min(limits.sendLimitSeconds, std::max(left / 1000, 1));
        return limits;
    }

private:
    std::uint64_t end_;
};

}  // namespace velmo::updater
