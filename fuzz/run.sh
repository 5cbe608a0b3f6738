#!/usr/bin/env bash
# Runs each fuzz target: first every input of its regression corpus (inputs
# that once found a fault, kept in fuzz/regressions/TARGET), then fuzzing for
# SECONDS from its seed corpus (fuzz/corpus/TARGET) and what earlier runs
# found (BUILD/corpus/TARGET). Fails on the first finding, leaving the input
# in BUILD/findings/ to be added to the regression corpus once fixed.
#
#   fuzz/run.sh BUILD SECONDS [TARGET...]
set -euo pipefail
build=$1
seconds=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(engine_ops_fuzz vrx_load_fuzz open_file_fuzz)

# Per target: the largest input worth trying.
declare -A max_len=([engine_ops_fuzz]=4096 [vrx_load_fuzz]=65536 [open_file_fuzz]=32768)

# Allocations are not filled (SQLite's connections allocate much; twice the
# executions), and the files of each input live in memory when possible.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:max_malloc_fill_size=0:quarantine_size_mb=64
if [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build/findings"
for t in "${targets[@]}"; do
  bin=$build/fuzz/$t
  regressions=$here/regressions/$t
  if compgen -G "$regressions/*" > /dev/null; then
    echo "== $t: the regression corpus"
    if ! "$bin" -timeout=20 -rss_limit_mb=2048 "$regressions"/* > "$build/findings/$t-regressions.log" 2>&1; then
      grep -E 'FINDING|ERROR|SUMMARY|Running' "$build/findings/$t-regressions.log" | tail -n 20
      echo "$t: a regression input fails again"
      exit 1
    fi
    grep -c '^Executed ' "$build/findings/$t-regressions.log" | sed 's/^/inputs replayed: /'
  fi
  echo "== $t: $seconds s"
  mkdir -p "$build/corpus/$t"
  log=$build/findings/$t.log
  if ! "$bin" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
      -max_len="${max_len[$t]:-4096}" -print_final_stats=1 \
      -artifact_prefix="$build/findings/$t-" \
      "$build/corpus/$t" "$here/corpus/$t" > "$log" 2>&1; then
    grep -E 'FINDING|ERROR|SUMMARY|Test unit written' "$log" | head -n 20
    echo "$t: a finding (whole log in $log)"
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' \
    "$log" | tr '\n' ' '
  echo
done
