#include <condition_variable>
#include <mutex>
#include <thread>

#include "backup/backup_app.h"

namespace velmo::backup {

namespace {

std::mutex workersLock;
std::condition_variable workersEnded;
int runningWorkers = 0;

}  // namespace

void startWorker(std::function<void()> body) {
    {
        std::lock_guard<std::mutex> lock(workersLock);
        ++runningWorkers;
    }
    std::thread([body = std::move(body)]() mutable {
        body();
        body = nullptr;  // what the work held is released before it counts as ended
        std::lock_guard<std::mutex> lock(workersLock);
        if (--runningWorkers == 0) workersEnded.notify_all();
    }).detach();
}

void waitForWorkers() {
    std::unique_lock<std::mutex> lock(workersLock);
    workersEnded.wait(lock, [] { return runningWorkers == 0; });
}

}  // namespace velmo::backup
