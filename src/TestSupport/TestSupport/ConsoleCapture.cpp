#include "TestSupport/ConsoleCapture.h"

#include <algorithm>

namespace kvltest {

ConsoleCapture::ConsoleCapture() {
    previous_ = platform::Console::setSink([this](std::string_view message) {
        std::lock_guard lock(mutex_);
        messages_.emplace_back(message);
    });
}

ConsoleCapture::~ConsoleCapture() { platform::Console::setSink(std::move(previous_)); }

std::vector<std::string> ConsoleCapture::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

bool ConsoleCapture::contains(const std::string& message) const {
    std::lock_guard lock(mutex_);
    return std::find(messages_.begin(), messages_.end(), message) != messages_.end();
}

void ConsoleCapture::clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
}

}  // namespace kvltest
