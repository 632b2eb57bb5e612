// XML escaping of 1 MiB of text with 1% characters to replace, beside memcpy of the same bytes.
// The figure is the counter "escape_per_memcpy": the escape's time over the copy's. Both sides
// are timed in the thread's CPU time, and the text is handed over as the optional the operation
// takes, so that the conversion of a plain string (a copy of the whole text) is not timed.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "KVLSharedUtil/NSMutableString+KVLEscapeUtil.h"
#include "ThreadCPUTime.h"

namespace {

constexpr std::size_t kTextSize = 1 << 20;

std::string makeText() {
    const std::string plain = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,;:\n";
    const std::string special = "&<>'\"";
    std::mt19937 random(1);
    std::string text(kTextSize, ' ');
    for (char& character : text) {
        character = random() % 100 == 0 ? special[random() % special.size()] : plain[random() % plain.size()];
    }
    return text;
}

void BM_XMLEscapeBesideMemcpy(benchmark::State& state) {
    const std::optional<std::string> text = makeText();
    std::string escaped;
    std::vector<char> copy(text->size());
    std::chrono::nanoseconds escapeTime{};
    std::chrono::nanoseconds copyTime{};
    for (auto _ : state) {
        const auto start = threadCPUTime();
        escaped.clear();
        NSMutableStringKVLEscapeUtil::escapeXMLAndAppend(escaped, text);
        benchmark::DoNotOptimize(escaped.data());
        benchmark::ClobberMemory();
        const auto escapedAt = threadCPUTime();
        std::memcpy(copy.data(), text->data(), text->size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
        copyTime += threadCPUTime() - escapedAt;
        escapeTime += escapedAt - start;
    }
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["escape_us"] = std::chrono::duration<double, std::micro>(escapeTime).count() / iterations;
    state.counters["memcpy_us"] = std::chrono::duration<double, std::micro>(copyTime).count() / iterations;
    state.counters["escape_per_memcpy"] =
        std::chrono::duration<double>(escapeTime).count() / std::chrono::duration<double>(copyTime).count();
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text->size()));
}
BENCHMARK(BM_XMLEscapeBesideMemcpy)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
