// The file logger's cost per line beside its floor, a raw write(2) of the same bytes per line,
// and beside a well-known peer, spdlog's file sink writing the same line content with a flush
// after every line, all three appending to files in the same temporary folder. The figures
// are the counters "logger_per_write" and "logger_per_spdlog": the logger's time over the
// other's. Times are the thread's CPU time (user and system), which keeps the load of other
// processes on a shared machine out of every side.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spdlog/logger.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "LoggerService/Private/KVLLoggerFile.h"
#include "Platform/Format.h"
#include "Platform/ProcessInfo.h"
#include "ThreadCPUTime.h"

namespace {

constexpr int kLinesPerRound = 1000;
constexpr char kCaller[] = "src/Bench/KVLBenchCaller";
constexpr int kCallerLine = 42;

std::chrono::nanoseconds timeRound(auto&& writeLine) {
    const auto start = threadCPUTime();
    for (int i = 0; i < kLinesPerRound; ++i) {
        writeLine();
    }
    return threadCPUTime() - start;
}

void BM_FileLoggerBesideWriteAndSpdlog(benchmark::State& state) {
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
    const std::string rawLine = platform::formatString("%@ : %6d : %8llu :  INF : %@\n", "260314 235958.250",
                                                       ::getpid(), platform::ProcessInfo::systemThreadID(),
                                                       "KVLBenchCaller(42) : copied 12345 of item.plist");
    // The peer builds the same line from the same parts: the time, the ids, the caller's file
    // name and line, and the message formatted from its arguments.
    const std::string peerPath = folder + "/spdlog.log";
    spdlog::logger peer("Bench", std::make_shared<spdlog::sinks::basic_file_sink_mt>(peerPath));
    peer.set_pattern("%y%m%d %H%M%S.%e : %6P : %8t :  INF : %s(%#) : %v");
    peer.flush_on(spdlog::level::info);

    std::chrono::nanoseconds loggerTime{};
    std::chrono::nanoseconds writeTime{};
    std::chrono::nanoseconds peerTime{};
    for (auto _ : state) {
        loggerTime += timeRound(
            [&] { logger.logMessage("copied %d of %@", KVLLogLevelInfo, kCaller, kCallerLine, 12345, "item.plist"); });
        writeTime += timeRound([&] { benchmark::DoNotOptimize(::write(raw, rawLine.data(), rawLine.size())); });
        peerTime += timeRound([&] {
            peer.log(spdlog::source_loc{kCaller, kCallerLine, ""}, spdlog::level::info, "copied {} of {}", 12345,
                     "item.plist");
        });
        // Every file starts each round empty (appends go to the new end).
        state.PauseTiming();
        ::truncate(logPath.c_str(), 0);
        ::ftruncate(raw, 0);
        ::truncate(peerPath.c_str(), 0);
        state.ResumeTiming();
    }
    ::close(raw);
    std::filesystem::remove_all(folder);

    const double lines = static_cast<double>(state.iterations()) * kLinesPerRound;
    const auto perLine = [&](std::chrono::nanoseconds time) {
        return std::chrono::duration<double, std::nano>(time).count() / lines;
    };
    state.counters["logger_ns_per_line"] = perLine(loggerTime);
    state.counters["write_ns_per_line"] = perLine(writeTime);
    state.counters["spdlog_ns_per_line"] = perLine(peerTime);
    state.counters["logger_per_write"] = perLine(loggerTime) / perLine(writeTime);
    state.counters["logger_per_spdlog"] = perLine(loggerTime) / perLine(peerTime);
}
BENCHMARK(BM_FileLoggerBesideWriteAndSpdlog)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
