#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

namespace detail {
class RunLoopWaiter;
}

// The mode that sources are scheduled in unless they name another.
inline constexpr std::string_view kRunLoopDefaultMode = "kCFRunLoopDefaultMode";

// A thread's run loop (the CFRunLoop stand-in). Work reaches a thread through its run loop
// while that thread runs it: descriptor sources fire when their descriptor becomes readable,
// in the modes they were added for; blocks performed from any thread run once, in any mode.
// Adding and removing sources, performing blocks and stopping are safe from any thread;
// running is for the owning thread only. Callbacks run without the loop's lock held, so they
// may add or remove sources, perform blocks, stop the loop or run it again.
class RunLoop {
public:
    using SourceId = std::uint64_t;

    // Why a run returned.
    enum class RunResult { Stopped = 2, TimedOut = 3, HandledSource = 4 };

    // The calling thread's run loop, created on first use and kept until the thread ends.
    // Other threads may keep the returned loop to perform blocks on it or to stop it.
    static std::shared_ptr<RunLoop> current();

    ~RunLoop();
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    // Runs the loop in `mode` until `duration` passes or stop() is called; with
    // returnAfterSourceHandled, also until a source fired or a block ran. A stop requested
    // while the loop was not running ends the next run at once.
    RunResult runInMode(std::string_view mode, std::chrono::nanoseconds duration, bool returnAfterSourceHandled);

    // Runs the loop in `mode` until `condition` holds (tested first and after every source or
    // block), until `timeout` passes, or until stop(); returns whether the condition holds.
    bool runUntil(const std::function<bool()>& condition, std::chrono::nanoseconds timeout,
                  std::string_view mode = kRunLoopDefaultMode);

    // Ends the current run, or the next one when the loop is not running.
    void stop();

    // Queues `block` to run once on the loop's thread during its next run, and wakes it.
    void performBlock(std::function<void()> block);

    // Calls `onReadable` on the loop's thread whenever `descriptor` is readable while the loop
    // runs in `mode`. The loop neither reads nor closes the descriptor: the callback must
    // consume what makes it readable, and the caller closes it after removing the source.
    SourceId addDescriptorSource(int descriptor, std::function<void()> onReadable,
                                 std::string_view mode = kRunLoopDefaultMode);

    // Removes a source; once this returns on the loop's thread the callback is not called
    // again. Returns false for an unknown id.
    bool removeSource(SourceId id);

private:
    struct DescriptorSource {
        int descriptor;
        std::string mode;
        std::shared_ptr<const std::function<void()>> onReadable;
    };

    RunLoop();

    // Runs the queued blocks; returns whether there were any.
    bool performQueuedBlocks();
    // Fires the sources whose descriptors were readable; returns whether any fired.
    bool fireSources(const std::vector<SourceId>& ids);

    std::unique_ptr<detail::RunLoopWaiter> waiter_;
    std::mutex mutex_;
    std::map<SourceId, DescriptorSource> sources_;
    SourceId nextSourceId_ = 1;
    std::vector<std::function<void()>> blocks_;
    bool stopRequested_ = false;
};

}  // namespace platform
