// The file logger's cost per line beside a raw write(2) of the same bytes per line, both
// appending to a file in the same temporary folder. The figure is the counter
// "logger_per_write": the logger's time over the raw writes' time. Times are the thread's CPU
// time (user and system), which keeps the load of other processes on a shared machine out of
// both sides.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>

#include "LoggerService/Private/KVLLoggerFile.h"
#include "Platform/Format.h"
#include "Platform/ProcessInfo.h"
#include "ThreadCPUTime.h"

namespace {

constexpr int kLinesPerRound = 1000;

void BM_FileLoggerBesideWrite(benchmark::State& state) {
    char folderTemplate[] = "/tmp/KVLLoggerFileBenchmark.XXXXXX";
    if (::mkdtemp(folderTemplate) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const std::string folder = folderTemplate;
    KVLLoggerFile logger(folder, "Bench", KVLLogLevelInfo);
    const std::string logPath = logger.getLogFilePath().value();
    const std::string rawPath = folder + "/raw.log";
    const int raw = ::open(rawPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    // The logger's line for the same message: "yyMMdd HHmmss.SSS : pid : tid :  INF : text".
    const std::string rawLine =
        platform::formatString("%@ : %6d : %8llu :  INF : %@\n", "260314 235958.250", ::getpid(),
                               platform::ProcessInfo::systemThreadID(), "KVLBenchCaller(42) : copied 12345 of item.plist");

    std::chrono::nanoseconds loggerTime{};
    std::chrono::nanoseconds writeTime{};
    for (auto _ : state) {
        const auto start = threadCPUTime();
        for (int i = 0; i < kLinesPerRound; ++i) {
            logger.logMessage("copied %d of %@", KVLLogLevelInfo, "src/Bench/KVLBenchCaller", 42, 12345,
                              "item.plist");
        }
        const auto loggedAt = threadCPUTime();
        for (int i = 0; i < kLinesPerRound; ++i) {
            benchmark::DoNotOptimize(::write(raw, rawLine.data(), rawLine.size()));
        }
        const auto writtenAt = threadCPUTime();
        loggerTime += loggedAt - start;
        writeTime += writtenAt - loggedAt;
        // Both files start each round empty (appends go to the new end).
        state.PauseTiming();
        ::truncate(logPath.c_str(), 0);
        ::ftruncate(raw, 0);
        state.ResumeTiming();
    }
    ::close(raw);
    std::filesystem::remove_all(folder);

    const double lines = static_cast<double>(state.iterations()) * kLinesPerRound;
    state.counters["logger_ns_per_line"] = std::chrono::duration<double, std::nano>(loggerTime).count() / lines;
    state.counters["write_ns_per_line"] = std::chrono::duration<double, std::nano>(writeTime).count() / lines;
    state.counters["logger_per_write"] =
        std::chrono::duration<double>(loggerTime).count() / std::chrono::duration<double>(writeTime).count();
}
BENCHMARK(BM_FileLoggerBesideWrite)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
