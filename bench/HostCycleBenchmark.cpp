// The host's install plus uninstall beside the same work done by a plain post-install shell
// script (cp, chmod, launchctl load, then launchctl unload, rm), both against freshly staged
// roots and the same launchd stand-in. The figure is the counter "host_per_script".
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kHost = KVL_HOST_PATH;

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
    // Both find the launchd stand-in beside the host first.
    ::setenv("PATH", (fs::path(kHost).parent_path().string() + ":" + std::getenv("PATH")).c_str(), 1);

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
        const int scriptStatus = run("KVL_LAUNCHD_ROOT=" + scriptRoot + " /bin/sh " + script + " " + scriptRoot +
                                     " >/dev/null 2>&1");
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

}  // namespace

BENCHMARK_MAIN();
