// The descriptor stream's 4 KiB reads and writes at offsets inside a 16 MiB file (held in the
// page cache), beside raw pread and pwrite of the same blocks on the same descriptor. The
// figures are the counters "read_per_pread" (target: at most 1.1) and "write_per_pwrite": the
// stream's time over the system call's. A stream write first asks for the file's size (it
// extends the file to the offset when needed), which the bare pwrite does not. Both sides are
// timed in the thread's CPU time.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ErrorService/KVLCreateInternalError.h"
#include "ErrorService/KVLErrorService.h"
#include "KVLSharedUtil/KVLStreamWithFileDescriptor.h"
#include "ThreadCPUTime.h"

namespace {

constexpr std::size_t kBlock = 4096;
constexpr std::size_t kFileSize = 16 << 20;
constexpr std::size_t kTransfersPerRound = 256;  // each side's clock is read once per round

// A 16 MiB file in a fresh temporary folder, a stream that owns a descriptor on it, the
// descriptor for the raw calls, and a loaded error service for the stream's record.
class StreamFixture {
public:
    StreamFixture() {
        std::string folderTemplate = (std::filesystem::temp_directory_path() / "KVLStreamBenchmark.XXXXXX").string();
        folder_ = ::mkdtemp(folderTemplate.data()) != nullptr ? folderTemplate : std::string();
        std::shared_ptr<platform::Error> slot;
        KVLErrorService::load(nullptr, &slot);
        record_ = KVLCreateInternalError();
        if (folder_.empty() || record_ == nullptr) {
            return;
        }
        const std::string file = folder_ + "/data";
        stream_ = KVLStreamWithFileDescriptor::initAndCreateAtFilePath(platform::URL::fileURLWithPath(file), O_RDWR,
                                                                       0600, record_.get());
        if (stream_ == nullptr) {
            return;
        }
        descriptor_ = static_cast<int>(reinterpret_cast<std::intptr_t>(stream_->getNativeHandle()));
        const std::vector<char> block(kBlock, 'x');
        for (std::size_t offset = 0; offset < kFileSize; offset += kBlock) {
            if (::pwrite(descriptor_, block.data(), kBlock, static_cast<off_t>(offset)) !=
                static_cast<ssize_t>(kBlock)) {
                stream_.reset();
                return;
            }
        }
        std::mt19937 random(1);
        for (std::size_t i = 0; i < kTransfersPerRound; ++i) {
            offsets_.push_back((random() % (kFileSize / kBlock)) * kBlock);
        }
    }
    ~StreamFixture() {
        stream_.reset();
        record_.reset();
        KVLErrorService::unload(nullptr);
        if (!folder_.empty()) {
            std::filesystem::remove_all(folder_);
        }
    }

    bool ready() const { return stream_ != nullptr; }
    KVLStreamWithFileDescriptor& stream() { return *stream_; }
    IKVLInternalError* record() { return record_.get(); }
    int descriptor() const { return descriptor_; }
    const std::vector<std::uint64_t>& offsets() const { return offsets_; }

private:
    std::string folder_;
    std::unique_ptr<IKVLInternalError> record_;
    std::unique_ptr<KVLStreamWithFileDescriptor> stream_;
    int descriptor_ = -1;
    std::vector<std::uint64_t> offsets_;
};

// One round of stream transfers and one of raw transfers over the same offsets, their order
// swapped every round; the stream's total time over the raw calls' is the ratio.
template <typename StreamTransfer, typename RawTransfer>
void measureBeside(benchmark::State& state, StreamFixture& fixture, const char* ratioName,
                   StreamTransfer streamTransfer, RawTransfer rawTransfer) {
    std::chrono::nanoseconds streamTime{};
    std::chrono::nanoseconds rawTime{};
    bool streamFirst = true;
    // The round's time, or null when a transfer fell short.
    const auto timeRound = [&](auto transfer) -> std::optional<std::chrono::nanoseconds> {
        const auto start = threadCPUTime();
        for (const std::uint64_t offset : fixture.offsets()) {
            if (!transfer(offset)) {
                return std::nullopt;
            }
        }
        return threadCPUTime() - start;
    };
    for (auto _ : state) {
        const auto first = streamFirst ? timeRound(streamTransfer) : timeRound(rawTransfer);
        const auto second = streamFirst ? timeRound(rawTransfer) : timeRound(streamTransfer);
        if (!first || !second) {
            state.SkipWithError("a transfer did not move the whole block");
            return;
        }
        streamTime += streamFirst ? *first : *second;
        rawTime += streamFirst ? *second : *first;
        streamFirst = !streamFirst;
    }
    const double transfers = static_cast<double>(state.iterations() * kTransfersPerRound);
    state.counters["stream_ns"] = std::chrono::duration<double, std::nano>(streamTime).count() / transfers;
    state.counters["raw_ns"] = std::chrono::duration<double, std::nano>(rawTime).count() / transfers;
    state.counters[ratioName] =
        std::chrono::duration<double>(streamTime).count() / std::chrono::duration<double>(rawTime).count();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTransfersPerRound * kBlock * 2));
}

void BM_StreamReadBesidePread(benchmark::State& state) {
    StreamFixture fixture;
    if (!fixture.ready()) {
        state.SkipWithError("the benchmark file could not be prepared");
        return;
    }
    std::vector<char> buffer(kBlock);
    measureBeside(
        state, fixture, "read_per_pread",
        [&](std::uint64_t offset) {
            std::uint64_t count = 0;
            fixture.stream().read(kBlock, offset, buffer.data(), &count, fixture.record());
            benchmark::DoNotOptimize(buffer.data());
            return count == kBlock;
        },
        [&](std::uint64_t offset) {
            const ssize_t count = ::pread(fixture.descriptor(), buffer.data(), kBlock, static_cast<off_t>(offset));
            benchmark::DoNotOptimize(buffer.data());
            return count == static_cast<ssize_t>(kBlock);
        });
}
BENCHMARK(BM_StreamReadBesidePread);

void BM_StreamWriteBesidePwrite(benchmark::State& state) {
    StreamFixture fixture;
    if (!fixture.ready()) {
        state.SkipWithError("the benchmark file could not be prepared");
        return;
    }
    const std::vector<char> block(kBlock, 'y');
    measureBeside(
        state, fixture, "write_per_pwrite",
        [&](std::uint64_t offset) {
            std::uint64_t count = 0;
            fixture.stream().write(kBlock, offset, block.data(), &count, fixture.record());
            return count == kBlock;
        },
        [&](std::uint64_t offset) {
            return ::pwrite(fixture.descriptor(), block.data(), kBlock, static_cast<off_t>(offset)) ==
                   static_cast<ssize_t>(kBlock);
        });
}
BENCHMARK(BM_StreamWriteBesidePwrite);

}  // namespace

BENCHMARK_MAIN();
