#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "KVLSharedUtil/KVLSharedUtil.h"

namespace kvltest {

// Records "enter" and "exit" in order; install() puts it into the safe zone until destroyed.
class RecordingAPIBypass : public IKVLAPIBypass {
public:
    void enter() override { record("enter"); }
    void exit() override { record("exit"); }

    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    void record(const char* call) {
        std::lock_guard lock(mutex_);
        calls_.emplace_back(call);
    }

    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

// Installs a recording bypass for its lifetime and removes it afterwards.
class InstalledAPIBypass {
public:
    InstalledAPIBypass() : bypass_(std::make_shared<RecordingAPIBypass>()) {
        KVLSharedUtil::sharedInstance()->setAPIBypass(bypass_);
    }
    ~InstalledAPIBypass() { KVLSharedUtil::sharedInstance()->setAPIBypass(nullptr); }
    InstalledAPIBypass(const InstalledAPIBypass&) = delete;
    InstalledAPIBypass& operator=(const InstalledAPIBypass&) = delete;

    std::vector<std::string> calls() const { return bypass_->calls(); }

private:
    std::shared_ptr<RecordingAPIBypass> bypass_;
};

}  // namespace kvltest
