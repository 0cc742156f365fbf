#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <cstdio>
#include <thread>

namespace velmo::clock {

std::uint64_t tickMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::int64_t wallSeconds() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

void sleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

LocalDateTime localNow() {
    std::time_t now = std::time(nullptr);
    std::tm tmv{};
#ifdef _WIN32
    localtime_s(&tmv, &now);
#else
    localtime_r(&now, &tmv);
#endif
    LocalDateTime t;
    t.year = tmv.tm_year + 1900;
    t.month = tmv.tm_mon + 1;
    t.day = tmv.tm_mday;
    t.hour = tmv.tm_hour;
    t.minute = tmv.tm_min;
    t.second = tmv.tm_sec;
    return t;
}

std::string formatDateMask(const std::string& mask, const LocalDateTime& t) {
    struct Field {
        const char* token;
        int value;
        int width;
    };
    const Field fields[] = {{"%yyyy", t.year, 4}, {"%mm", t.month, 2}, {"%dd", t.day, 2},
                            {"%hh", t.hour, 2},   {"%ii", t.minute, 2}, {"%ss", t.second, 2}};
    std::string out;
    std::size_t i = 0;
    while (i < mask.size()) {
        bool matched = false;
        if (mask[i] == '%') {
            for (const Field& f : fields) {
                std::string token(f.token);
                if (mask.compare(i, token.size(), token) == 0) {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "%0*d", f.width, f.value);
                    out += buf;
                    i += token.size();
                    matched = true;
                    break;
                }
            }
        }
        if (!matched) out += mask[i++];
    }
    return out;
}

}  // namespace velmo::clock
