#!/usr/bin/env bash
# The performance report: builds the benchmarks, runs every one of them and prints one table
# of each figure beside its floor or peer, with the ratio and its target.
# Usage: tools/perf-report.sh
set -euo pipefail

case "${1:-}" in
  -h|--help)
    echo "usage: tools/perf-report.sh"
    echo "Installs missing packages, builds the bench preset, runs every program under bench/ and"
    echo "prints each figure, its floor or peer, the ratio and the ratio's target."
    exit 0 ;;
esac

cd "$(dirname "$0")/.."
# spdlog is the file logger's peer, needed by the benchmarks only.
bash tools/install-deps.sh python3 libspdlog-dev
echo "building the bench preset (build-bench/) ..." >&2
cmake --preset bench >/dev/null
cmake --build --preset bench >/dev/null

results="$(mktemp -d)"
trap 'rm -rf "$results"' EXIT
for program in build-bench/bench/*Benchmark; do
  echo "running $(basename "$program") ..." >&2
  "$program" --benchmark_format=json --benchmark_out="$results/$(basename "$program").json" \
    --benchmark_out_format=json >/dev/null
done

python3 - "$results" <<'PY'
import json, os, sys

# The ratio counters and their targets (the figure of ours over its floor or peer).
TARGETS = {
    "escape_per_memcpy": 2.5,
    "runner_per_spawn": 1.3,
    "read_per_pread": 1.1,
    "logger_per_write": 1.3,
    "logger_per_spdlog": 1.0,
    "host_per_script": 0.5,
}

rows = []
for name in sorted(os.listdir(sys.argv[1])):
    with open(os.path.join(sys.argv[1], name)) as file:
        report = json.load(file)
    for benchmark in report["benchmarks"]:
        counters = {key: value for key, value in benchmark.items()
                    if isinstance(value, float) and key not in ("real_time", "cpu_time", "bytes_per_second")}
        ratios = [key for key in counters if "_per_" in key and not key.endswith("_per_line")]
        figures = ", ".join(f"{key}={value:.4g}" for key, value in counters.items() if key not in ratios)
        for ratio in ratios:
            target = TARGETS.get(ratio)
            verdict = "" if target is None else ("met" if counters[ratio] <= target else "missed")
            rows.append((benchmark["name"].split("/")[0], figures, ratio, f"{counters[ratio]:.3f}",
                         "-" if target is None else f"<= {target}", verdict))

header = ("benchmark", "figures (ours, floor or peer)", "ratio", "value", "target", "")
widths = [max(len(str(row[i])) for row in rows + [header]) for i in range(len(header))]
for row in [header] + rows:
    print("  ".join(str(cell).ljust(width) for cell, width in zip(row, widths)).rstrip())
PY
