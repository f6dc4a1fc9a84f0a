#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time, two at a time,
# each on a working corpus seeded from fuzz/seeds/. Inputs that make a target
# fail land in BUILD/fuzz-artifacts/; copy them to fuzz/regressions/TARGET/
# once mended, so that the test run keeps replaying them.
# Usage: run-fuzzers.sh BUILD_DIR SECONDS [TARGET...]
set -euo pipefail
build=$1
seconds=$2
shift 2
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(command rtf docx odt unzip)
root=$(cd "$(dirname "$0")/.." && pwd)
artifacts="$build/fuzz-artifacts"
# Leaks inside Qt's own libraries are not ours to mend (see the file).
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer/lsan.supp:print_suppressions=0"
mkdir -p "$artifacts"

run_one() {
  local target=$1
  local corpus="$build/fuzz-corpus/$target"
  mkdir -p "$corpus"
  # A failing target still gets its summary line, so no `set -e` exit here.
  local status=0
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$artifacts/$target-" "$corpus" "$root/fuzz/seeds/$target" "$root/fuzz/regressions/$target" \
    >"$build/fuzz-$target.log" 2>&1 || status=$?
  local summary
  summary=$(grep -E '^#[0-9]+.*(DONE|pulse|NEW|REDUCE)' "$build/fuzz-$target.log" | tail -1 || true)
  echo "fuzz_$target: exit $status; $summary"
  return $status
}

failed=0
pids=()
for target in "${targets[@]}"; do
  run_one "$target" &
  pids+=($!)
  if [[ ${#pids[@]} -ge 2 ]]; then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do
  wait "$pid" || failed=1
done
exit $failed
