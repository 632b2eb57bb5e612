// The host's install plus uninstall beside the same work done by a plain post-install shell
// script (cp, chmod, launchctl load, then launchctl unload, rm), both against freshly staged
// roots and both running a launchctl that does nothing, so that the figure is the product's
// own work: the counter "host_per_script". Beside it, the host's start-up (--help) beside
// that of a C program that does nothing: the counter "start_per_empty".
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kHost = KVL_HOST_PATH;
const std::string kEmptyProgram = KVL_EMPTY_PROGRAM_PATH;

// What a post-install script does for the same parts, in the same places.
constexpr char kScript[] = R"(set -e
r="$1"
app="$r/Applications/Orvane Lite/Orvane Lite Updater.app/Contents/Resources"
prefs="$r/Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater/SystemPreferences"
agent="$r/Library/LaunchAgents/com.orvane.OrvaneLite.AutoUpdater.plist"
copy="$r/Library/LaunchDaemons/com.orvane.OrvaneLite.CopyHelper.plist"
update="$r/Library/LaunchDaemons/com.orvane.OrvaneLite.UpdateHelper.plist"
mkdir -p "$prefs" "$r/Library/LaunchAgents" "$r/Library/LaunchDaemons"
cp "$app/UpdaterSystemPreferences.plist" "$app/UpdateScheduler.plist" "$prefs/"
cp "$app/LaunchServices/com.orvane.OrvaneLite.AutoUpdater.plist" "$agent"
cp "$app/LaunchServices/com.orvane.OrvaneLite.CopyHelper.plist" "$copy"
cp "$app/LaunchServices/com.orvane.OrvaneLite.UpdateHelper.plist" "$update"
chmod 0644 "$agent" "$copy" "$update"
chown root:0 "$agent" "$copy" "$update"
launchctl load "$agent"; launchctl load "$copy"; launchctl load "$update"
launchctl unload "$agent"; launchctl unload "$copy"; launchctl unload "$update"
rm -f "$agent" "$copy" "$update"
rm -rf "$r/Library/Application Support/Orvane/Orvane Lite/Orvane Lite Updater"
)";

// A launchctl that only remembers the loaded jobs, as marker files named by label in the folder
// given to printf; the shell's own expansions, so that a call costs one short shell.
constexpr char kLaunchctlStub[] = R"(#!/bin/sh
state='%s'
job="${2##*/}"
job="${job%%.plist}"
case "$1" in
  load) : > "$state/$job" ;;
  unload) rm -f "$state/$job" ;;
  list) printf 'PID\tStatus\tLabel\n'; for f in "$state"/*; do [ -e "$f" ] && printf -- '-\t0\t%%s\n' "${f##*/}"; done ;;
esac
exit 0
)";

int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A new root with the updater application staged in it.
std::string stagedRoot(const fs::path& parent, int number) {
    const std::string root = (parent / ("root" + std::to_string(number))).string();
    return run("'" + kHost + "' stage --root " + root + " >/dev/null") == 0 ? root : "";
}

void BM_HostInstallUninstallBesideScript(benchmark::State& state) {
    char folder[] = "/tmp/kvl-bench-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const fs::path parent = folder;
    const std::string script = (parent / "post-install.sh").string();
    std::FILE* file = std::fopen(script.c_str(), "w");
    std::fputs(kScript, file);
    std::fclose(file);
    // Both run the same launchctl that only remembers which jobs are loaded (a marker file per
    // label), since the host checks the jobs after install and uninstall: the script finds it
    // first on its PATH, the host is told its folder.
    const fs::path launchctlFolder = parent / "launchctl-remembers";
    fs::create_directories(launchctlFolder / "loaded");
    const std::string launchctl = (launchctlFolder / "launchctl").string();
    std::FILE* stub = std::fopen(launchctl.c_str(), "w");
    std::fprintf(stub, kLaunchctlStub, (launchctlFolder / "loaded").c_str());
    std::fclose(stub);
    fs::permissions(launchctl, fs::perms::owner_all);
    ::setenv("KVL_LAUNCHCTL_DIR", launchctlFolder.c_str(), 1);
    const std::string scriptPath = "PATH=" + launchctlFolder.string() + ":\"$PATH\" ";

    Clock::duration hostTime{};
    Clock::duration scriptTime{};
    int number = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string hostRoot = stagedRoot(parent, ++number);
        const std::string scriptRoot = stagedRoot(parent, ++number);
        state.ResumeTiming();
        const auto start = Clock::now();
        const int hostStatus = run("'" + kHost + "' install --root " + hostRoot + " >/dev/null 2>&1 && '" + kHost +
                                   "' uninstall --root " + hostRoot + " >/dev/null 2>&1");
        const auto hostDone = Clock::now();
        const int scriptStatus = run(scriptPath + "/bin/sh " + script + " " + scriptRoot + " >/dev/null 2>&1");
        scriptTime += Clock::now() - hostDone;
        hostTime += hostDone - start;
        if (hostStatus != 0 || scriptStatus != 0) {
            state.SkipWithError("the host or the script failed");
            break;
        }
    }
    fs::remove_all(parent);
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["host_us"] = std::chrono::duration<double, std::micro>(hostTime).count() / iterations;
    state.counters["script_us"] = std::chrono::duration<double, std::micro>(scriptTime).count() / iterations;
    state.counters["host_per_script"] =
        std::chrono::duration<double>(hostTime).count() / std::chrono::duration<double>(scriptTime).count();
}
BENCHMARK(BM_HostInstallUninstallBesideScript)->Unit(benchmark::kMillisecond)->Iterations(20);

// The time from spawning a program to its exit, its standard output going to /dev/null.
Clock::duration timeRun(const std::string& program, const char* argument) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    char* const arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument), nullptr};
    const auto start = Clock::now();
    pid_t child = 0;
    int status = -1;
    if (::posix_spawn(&child, program.c_str(), &actions, nullptr, arguments, environ) == 0) {
        ::waitpid(child, &status, 0);
    }
    const auto end = Clock::now();
    posix_spawn_file_actions_destroy(&actions);
    return status == 0 ? end - start : Clock::duration::min();
}

void BM_HostStartBesideEmptyProgram(benchmark::State& state) {
    Clock::duration hostTime{};
    Clock::duration emptyTime{};
    for (auto _ : state) {
        const auto host = timeRun(kHost, "--help");
        const auto empty = timeRun(kEmptyProgram, nullptr);
        if (host == Clock::duration::min() || empty == Clock::duration::min()) {
            state.SkipWithError("the host or the empty program failed");
            break;
        }
        hostTime += host;
        emptyTime += empty;
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["host_start_us"] = std::chrono::duration<double, std::micro>(hostTime).count() / iterations;
    state.counters["empty_start_us"] = std::chrono::duration<double, std::micro>(emptyTime).count() / iterations;
    state.counters["start_per_empty"] =
        std::chrono::duration<double>(hostTime).count() / std::chrono::duration<double>(emptyTime).count();
}
BENCHMARK(BM_HostStartBesideEmptyProgram)->Unit(benchmark::kMillisecond)->Iterations(200);

}  // namespace

BENCHMARK_MAIN();
