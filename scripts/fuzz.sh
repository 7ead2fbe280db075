#!/usr/bin/env bash
# Builds the libFuzzer targets of tools/fuzz with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# in the build they share with the sanitized unit tests (build-sanitize/, scripts/sanitizer-build.sh),
# then runs each for a given time on a corpus seeded from the project's fixtures and baked assets.
#
#   scripts/fuzz.sh [--time SECONDS] [--runs N] [--jobs N] [TARGET...]
#
# Targets: dds obj mtl settings gltf hdr (default: all, one after the other; --jobs N runs N at a
# time). --time (default 30) and --runs (default unlimited) stop each target, whichever comes first.
# The corpus grows in build-sanitize/fuzz/<target>/corpus; crashes, leaks, hangs (over 10 s) and
# undefined behaviour are written to build-sanitize/fuzz/<target>/findings/ and make the script exit
# with 1. Needs the baked assets (run the normal build first) and clang with its runtime
# (scripts/setup.sh installs both).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/sanitizer-build.sh"
build="$(sanitizer_build_dir)"
all_targets=(dds obj mtl settings gltf hdr)

seconds=30
runs=-1
jobs=1
targets=()
while (($#)); do
  case "$1" in
    --time) seconds="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --jobs) jobs="$2"; shift 2 ;;
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done
((${#targets[@]})) || targets=("${all_targets[@]}")
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || { echo "ERROR: --jobs wants a whole number of at least 1, not '$jobs'" >&2; exit 2; }
for t in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $t "* ]] || { echo "ERROR: unknown fuzz target '$t' (${all_targets[*]})" >&2; exit 2; }
done

build_sanitizer_targets "${targets[@]/#/fuzz_}"

# Seeds: the committed ones, plus what the project already has of each kind. Small DDS files only,
# so the fuzzer's input size stays small and its rate high.
seed_files() {
  case "$1" in
    dds) find "$root/assets/textures" -name '*.dds' -size -40k 2>/dev/null | sort | head -n 8 ;;
    obj) ls "$root"/assets/models/*.obj 2>/dev/null ;;
    settings) ls "$root"/assets/settings.ini 2>/dev/null ;;
    hdr) ls "$root"/tests/fixtures/sky/*.hdr 2>/dev/null ;;
  esac
  [ -d "$root/tools/fuzz/seeds/$1" ] && find "$root/tools/fuzz/seeds/$1" -type f
  true
}

# Fuzzes one target; its result line goes to $build/fuzz/<target>/result (read back below, so that
# targets run side by side report in order), with the first lines of a finding before it.
fuzz_target() {
  local t="$1" dir="$build/fuzz/$1" before after rc=0 executed rate line
  mkdir -p "$dir/corpus" "$dir/findings" "$dir/seeds"
  while read -r f; do [ -n "$f" ] && cp -f "$f" "$dir/seeds/"; done < <(seed_files "$t")
  before=$(find "$dir/findings" -type f | wc -l)
  echo "== fuzz_$t: ${seconds} s or ${runs/#-1/unlimited} runs"
  "$build/tools/fuzz/fuzz_$t" "$dir/corpus" "$dir/seeds" -max_total_time="$seconds" -runs="$runs" -timeout=10 \
    -rss_limit_mb=2560 -print_final_stats=1 -artifact_prefix="$dir/findings/" >"$dir/log.txt" 2>&1 || rc=$?
  after=$(find "$dir/findings" -type f | wc -l)
  executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log.txt" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log.txt" | tail -n 1)
  line="fuzz_$t: ${executed:-?} executions, ${rate:-?}/s, corpus $(find "$dir/corpus" -type f | wc -l), findings $((after - before))"
  if [ "$rc" -ne 0 ] || [ "$after" -gt "$before" ]; then
    line="$line, FAILED (exit $rc; see $dir/log.txt)"
    grep -m 5 -E 'ERROR|runtime error|Test unit written' "$dir/log.txt" >"$dir/result" || true
  else
    : >"$dir/result"
  fi
  echo "$line" >>"$dir/result"
}

for t in "${targets[@]}"; do rm -f "$build/fuzz/$t/result"; done
# At most --jobs targets at a time; each still runs for the whole --time.
for t in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= jobs)); do wait -n || true; done
  fuzz_target "$t" &
done
wait

status=0
summary=()
for t in "${targets[@]}"; do
  result="$build/fuzz/$t/result"
  if [ ! -s "$result" ]; then
    line="fuzz_$t: FAILED (no result; see $build/fuzz/$t/log.txt)"
  else
    cat "$result"
    line=$(tail -n 1 "$result")
  fi
  [[ "$line" == *FAILED* ]] && status=1
  summary+=("$line")
done
echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
exit "$status"
