// A reporter for the engine tests: it notes everything the engines report, answers their
// questions from a script, asks to stop when told to, and lets a test act at a given
// moment of a run (from the engine's own thread, before the engine goes on).
#pragma once
#include <functional>
#include <future>
#include <utility>
#include <string>
#include <vector>

#include "installer/engine/upload_engine.h"

namespace velmo::installer::testing {

struct RecordingReporter : UploadReporter {
    void progress(const UploadProgress& p) override {
        progressSeen.push_back(p);
        if (onProgress) onProgress(p);
    }
    bool ask(const Notice& q) override {
        questions.push_back(q);
        return answers.empty() ? false : answers[(questions.size() - 1) % answers.size()];
    }
    void inform(const Notice& n) override { notices.push_back(n); }
    bool stopRequested() override { return std::exchange(stopNow, false); }
    // Noted like ask(); answered by `answerLater` when a test sets it (the box stays up
    // until that future is ready), otherwise at once as ask() answers.
    std::future<bool> askWithoutWaiting(const Notice& q) override {
        if (!answerLater) return UploadReporter::askWithoutWaiting(q);
        questions.push_back(q);
        return answerLater(q);
    }
    void permissionStep(int i, int n, const std::string& label) override {
        steps.push_back(std::to_string(i) + "/" + std::to_string(n) + " " + label);
    }

    std::vector<bool> answers;  // answers in turn, repeated; none: every question gets No
    bool stopNow = false;       // the next stopRequested() says yes
    std::function<void(const UploadProgress&)> onProgress;
    std::function<std::future<bool>(const Notice&)> answerLater;

    std::vector<UploadProgress> progressSeen;
    std::vector<Notice> questions, notices;
    std::vector<std::string> steps;
};

}  // namespace velmo::installer::testing
