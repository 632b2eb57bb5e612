#include "Platform/RunLoop.h"

#include <utility>

#include "Platform/RunLoopWaiter.h"

namespace platform {

std::shared_ptr<RunLoop> RunLoop::current() {
    thread_local const std::shared_ptr<RunLoop> loop(new RunLoop());
    return loop;
}

RunLoop::RunLoop() : waiter_(std::make_unique<detail::RunLoopWaiter>()) {}

RunLoop::~RunLoop() = default;

RunLoop::RunResult RunLoop::runInMode(std::string_view mode, std::chrono::nanoseconds duration,
                                      bool returnAfterSourceHandled) {
    const auto deadline = std::chrono::steady_clock::now() + duration;
    for (;;) {
        std::vector<SourceId> ids;
        std::vector<int> descriptors;
        {
            std::lock_guard lock(mutex_);
            if (stopRequested_) {
                stopRequested_ = false;
                return RunResult::Stopped;
            }
            for (const auto& [id, source] : sources_) {
                if (source.mode == mode) {
                    ids.push_back(id);
                    descriptors.push_back(source.descriptor);
                }
            }
        }
        bool handled = performQueuedBlocks();
        const auto remaining = deadline - std::chrono::steady_clock::now();
        // After a block the loop only looks at what is ready now, so a stop or another
        // block queued by it is seen before the loop sleeps.
        const auto readable = waiter_->wait(descriptors, handled ? std::chrono::nanoseconds(0) : remaining);
        std::vector<SourceId> ready;
        ready.reserve(readable.size());
        for (const std::size_t position : readable) {
            ready.push_back(ids[position]);
        }
        handled = fireSources(ready) || handled;
        if (handled && returnAfterSourceHandled) {
            return RunResult::HandledSource;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            // A stop requested during the last pass still wins over the timeout.
            std::lock_guard lock(mutex_);
            if (stopRequested_) {
                stopRequested_ = false;
                return RunResult::Stopped;
            }
            return RunResult::TimedOut;
        }
    }
}

bool RunLoop::runUntil(const std::function<bool()>& condition, std::chrono::nanoseconds timeout,
                       std::string_view mode) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        const auto remaining = deadline - std::chrono::steady_clock::now();
        if (remaining <= std::chrono::nanoseconds(0) || runInMode(mode, remaining, true) == RunResult::Stopped) {
            return condition();
        }
    }
    return true;
}

void RunLoop::stop() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    waiter_->wake();
}

void RunLoop::performBlock(std::function<void()> block) {
    {
        std::lock_guard lock(mutex_);
        blocks_.push_back(std::move(block));
    }
    waiter_->wake();
}

RunLoop::SourceId RunLoop::addDescriptorSource(int descriptor, std::function<void()> onReadable,
                                               std::string_view mode) {
    SourceId id;
    {
        std::lock_guard lock(mutex_);
        id = nextSourceId_++;
        sources_.emplace(id, DescriptorSource{descriptor, std::string(mode),
                                              std::make_shared<const std::function<void()>>(std::move(onReadable))});
    }
    // A loop asleep in another thread starts watching the new descriptor.
    waiter_->wake();
    return id;
}

bool RunLoop::removeSource(SourceId id) {
    std::lock_guard lock(mutex_);
    return sources_.erase(id) == 1;
}

bool RunLoop::performQueuedBlocks() {
    std::vector<std::function<void()>> blocks;
    {
        std::lock_guard lock(mutex_);
        blocks.swap(blocks_);
    }
    for (const auto& block : blocks) {
        block();
    }
    return !blocks.empty();
}

bool RunLoop::fireSources(const std::vector<SourceId>& ids) {
    bool fired = false;
    for (const SourceId id : ids) {
        std::shared_ptr<const std::function<void()>> onReadable;
        {
            // An earlier callback of this pass may have removed the source.
            std::lock_guard lock(mutex_);
            const auto found = sources_.find(id);
            if (found == sources_.end()) {
                continue;
            }
            onReadable = found->second.onReadable;
        }
        (*onReadable)();
        fired = true;
    }
    return fired;
}

}  // namespace platform
