#pragma once

#include <string>
#include <vector>

#include "KVLSharedUtil/KVLSharedUtil.h"

namespace kvltest {

// Records "enter" and "exit" in the order the safe zone was entered and left.
class RecordingAPIBypass : public IKVLAPIBypass {
public:
    void enter() override { calls.emplace_back("enter"); }
    void exit() override { calls.emplace_back("exit"); }

    std::vector<std::string> calls;
};

}  // namespace kvltest
