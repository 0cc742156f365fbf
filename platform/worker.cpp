#include "platform/worker.h"

#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace velmo::worker {
namespace {

// Never destroyed: a worker may still decrement the count while the process ends.
struct Registry {
    std::mutex lock;
    std::condition_variable ended;
    int running = 0;
    FailureHandler onFailure;
};

void reportFailure(Registry& r, const char* what) {
    try {
        FailureHandler handler;
        {
            std::lock_guard<std::mutex> lock(r.lock);
            handler = r.onFailure;
        }
        if (handler) handler(what);
    } catch (...) {
        // Nothing is left to tell it with (memory may be short): the worker just ends.
    }
}

void runGuarded(Registry& r, std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        reportFailure(r, e.what());
    } catch (...) {
        reportFailure(r, "exception inconnue");
    }
}
Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

}  // namespace

bool start(std::function<void()> body) {
    Registry& r = registry();
    {
        std::lock_guard<std::mutex> lock(r.lock);
        ++r.running;
    }
    try {
        std::thread([body = std::move(body), &r]() mutable {
            runGuarded(r, body);
            // What the body captured (shared program state) goes before the count does:
            // a program that sees no worker running may destroy what it shared.
            body = nullptr;
            std::lock_guard<std::mutex> lock(r.lock);
            if (--r.running == 0) r.ended.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        std::lock_guard<std::mutex> lock(r.lock);
        if (--r.running == 0) r.ended.notify_all();
        return false;
    }
    return true;
}

void setFailureHandler(FailureHandler handler) {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    r.onFailure = std::move(handler);
}

int running() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.lock);
    return r.running;
}

bool waitForAll(std::chrono::milliseconds limit) {
    Registry& r = registry();
    std::unique_lock<std::mutex> lock(r.lock);
    return r.ended.wait_for(lock, limit, [&] { return r.running == 0; });
}

int endProgram(int code) {
    if (running() == 0) return code;
    std::_Exit(code);
}

}  // namespace velmo::worker
