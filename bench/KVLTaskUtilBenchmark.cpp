// The command runner on "/bin/sh -c true" beside posix_spawn + waitpid of the same command.
// The figure is the counter "runner_per_spawn": the runner's time over the bare spawn's. The
// runner waits on the child's end rather than in steps, so a command that ends at once must
// cost about what the spawn does; a mean above half a 50 ms step fails the run.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <string>

#include "KVLSharedUtil/KVLTaskUtil.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int spawnAndWait() {
    char shell[] = "/bin/sh";
    char option[] = "-c";
    char command[] = "true";
    char* argv[] = {shell, option, command, nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, shell, nullptr, nullptr, argv, environ) != 0) {
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WEXITSTATUS(status);
}

void BM_CommandRunnerBesideSpawn(benchmark::State& state) {
    Clock::duration runnerTime{};
    Clock::duration spawnTime{};
    std::string output;
    for (auto _ : state) {
        const auto start = Clock::now();
        const int runnerStatus = KVLTaskUtil::launchCommand("true", output);
        const auto ranAt = Clock::now();
        const int spawnStatus = spawnAndWait();
        spawnTime += Clock::now() - ranAt;
        runnerTime += ranAt - start;
        if (runnerStatus != 0 || spawnStatus != 0) {
            state.SkipWithError("/bin/sh -c true did not exit with status 0");
            return;
        }
    }
    const auto iterations = static_cast<double>(state.iterations());
    const auto runnerMean = std::chrono::duration<double, std::micro>(runnerTime).count() / iterations;
    state.counters["runner_us"] = runnerMean;
    state.counters["spawn_us"] = std::chrono::duration<double, std::micro>(spawnTime).count() / iterations;
    state.counters["runner_per_spawn"] =
        std::chrono::duration<double>(runnerTime).count() / std::chrono::duration<double>(spawnTime).count();
    if (runnerMean > 25'000) {
        state.SkipWithError("the runner's wait did not end with the child");
    }
}
BENCHMARK(BM_CommandRunnerBesideSpawn)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
