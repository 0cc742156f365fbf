// Millisecond tick, pauses, wall clock and local date/time.
#pragma once
#include <cstdint>
#include <string>

namespace velmo::clock {

std::uint64_t tickMs();          // monotonic milliseconds
std::int64_t wallSeconds();      // seconds since the epoch (the "local clock in whole seconds")
void sleepMs(int ms);

struct LocalDateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
LocalDateTime localNow();

// Date masks: "%yyyy" four-digit year; "%mm", "%dd", "%hh" (00-23), "%ii" (minutes),
// "%ss" two digits with a leading zero; everything else is copied.
std::string formatDateMask(const std::string& mask, const LocalDateTime& t);

}  // namespace velmo::clock
