#!/usr/bin/env bash
# Measures Kelvara in one run: the core's throughput (kelvara_bench), then
# kelvara-cli against cp on a 10 MiB page and on a folder of 1,000 small
# pages, and the peak memory on a page of 100 MiB, and prints tables of the
# latter that can go into the performance notes as they are; then, where
# node, Chromium and tests/browser's npm packages are there, the decoder of
# protected pages in headless Chromium (bench/browser_decode.mjs).
#
#   scripts/bench.sh [BUILD_DIR]      default: ${BUILD_ROOT:-build}/release
#
# `make bench` builds what it needs (the release preset) and runs this.
#
# KELVARA_BENCH_ARGS passes options to kelvara_bench (for example
# --benchmark_filter=Hex); KELVARA_BENCH_RUNS sets how often each command-line
# measure is taken (default 5; the median is shown).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-${BUILD_ROOT:-build}/release}
bench=$build/bench/kelvara_bench
make_pages=$build/bench/kelvara_bench_pages
cli=$build/cli/kelvara-cli
runs=${KELVARA_BENCH_RUNS:-5}
password="correct horse battery"
page_bytes=$((10 * 1024 * 1024))
batch_pages=1000
batch_page_bytes=5120

for tool in "$bench" "$make_pages" "$cli"; do
  [[ -x $tool ]] || { echo "bench.sh: $tool is not built (make bench builds it)" >&2; exit 1; }
done

echo "== core throughput"
# Debian builds its Google Benchmark library without NDEBUG, and the library
# then warns on every run that it "was built as DEBUG". The timing loop is
# inline code of its header, compiled into kelvara_bench with this build's
# Release flags; the library's own checks add a few comparisons when a
# benchmark pauses or resumes its timer, nothing against steps of
# milliseconds. So that one line is left out, and nothing else.
# shellcheck disable=SC2086 # the options are meant to split
"$bench" ${KELVARA_BENCH_ARGS:-} 2>&1 | sed -u '/^\*\*\*WARNING\*\*\* Library was built as DEBUG/d'

echo
echo "== kelvara-cli against cp ($runs runs each, median)"

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

now_ns() { date +%s%N; }
elapsed_ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b - a) / 1e6 }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs kelvara-cli with the password on standard input; fails the whole
# measurement unless every page gave `want` (a time for work that was not
# done would be worthless).
run_cli() {
  local want=$1 pages=$2
  shift 2
  local out=$work/cli.out
  local status=0
  printf '%s\n' "$password" | "$cli" --password-stdin "$@" >"$out" 2>"$work/cli.err" || status=$?
  local done_count
  done_count=$(grep -c -F ": $want" "$out" || true)
  if [[ $status != 0 || $done_count != "$pages" ]]; then
    echo "bench.sh: kelvara-cli $* exited $status with $done_count of $pages pages done:" >&2
    head -5 "$out" "$work/cli.err" >&2
    exit 1
  fi
}

# The 10 MiB page.
plain=$work/plain.htm
page=$work/page.htm
"$make_pages" page "$plain" "$page_bytes"
cp_times=() sync_times=() protect_times=() restore_times=()
for ((run = 1; run <= runs; run++)); do
  rm -f "$work/copy.htm"
  t0=$(now_ns); cp "$plain" "$work/copy.htm"; t1=$(now_ns)
  cp_times+=("$(elapsed_ms "$t0" "$t1")")

  rm -f "$work/copy.htm"
  t0=$(now_ns); cp "$plain" "$work/copy.htm"; sync "$work/copy.htm"; t1=$(now_ns)
  sync_times+=("$(elapsed_ms "$t0" "$t1")")

  # Like cp's copy, each run writes its backup anew: replacing the last
  # run's backup would add the cost of throwing that file away.
  cp "$plain" "$page"
  rm -f "$page.original" "$page.protected"
  t0=$(now_ns); run_cli "File is now protected by Kelvara" 1 --protect "$page"; t1=$(now_ns)
  protect_times+=("$(elapsed_ms "$t0" "$t1")")

  rm -f "$page.protected"
  t0=$(now_ns); run_cli "File back to normal (no protection)" 1 --restore "$page"; t1=$(now_ns)
  restore_times+=("$(elapsed_ms "$t0" "$t1")")
done
grep -q -F "<title>Club news, page 1</title>" "$page" || { echo "bench.sh: the restored page lost its title" >&2; exit 1; }

# The folder of small pages, protected and restored by one process each time.
batch=$work/batch
mkdir "$batch"
"$make_pages" folder "$batch" "$batch_pages" "$batch_page_bytes"
batch_protect_times=() batch_restore_times=()
for ((run = 1; run <= runs; run++)); do
  t0=$(now_ns); run_cli "File is now protected by Kelvara" "$batch_pages" --protect "$batch"; t1=$(now_ns)
  batch_protect_times+=("$(elapsed_ms "$t0" "$t1")")
  t0=$(now_ns); run_cli "File back to normal (no protection)" "$batch_pages" --restore "$batch"; t1=$(now_ns)
  batch_restore_times+=("$(elapsed_ms "$t0" "$t1")")
done

# The same folder in the strong form, against the default form's time and
# one key derivation (a strong run on one small page, which is nearly all
# derivation).
strong_times=() one_strong_times=()
for ((run = 1; run <= runs; run++)); do
  t0=$(now_ns); run_cli "File is now protected by Kelvara" "$batch_pages" --protect --strong "$batch"; t1=$(now_ns)
  strong_times+=("$(elapsed_ms "$t0" "$t1")")
  t0=$(now_ns); run_cli "File back to normal (no protection)" "$batch_pages" --restore "$batch"; t1=$(now_ns)
  cp "$batch/page-1.htm" "$work/one.htm"
  t0=$(now_ns); run_cli "File is now protected by Kelvara" 1 --protect --strong "$work/one.htm"; t1=$(now_ns)
  one_strong_times+=("$(elapsed_ms "$t0" "$t1")")
  rm -f "$work"/one.htm*
done

# Peak memory on a page of 100 MiB: resident set as the system counts it,
# against the larger of the page and what it becomes.
big=$work/big.htm
"$make_pages" page "$big" $((100 * 1024 * 1024))
big_bytes=$(stat -c %s "$big")
peak_kib() { # peak_kib MODE: kelvara-cli's peak resident memory in KiB
  printf '%s\n' "$password" | /usr/bin/time -f %M -o "$work/peak" "$cli" --password-stdin "$1" "$big" >/dev/null
  cat "$work/peak"
}
protect_peak=$(peak_kib --protect)
protected_bytes=$(stat -c %s "$big")
restore_peak=$(peak_kib --restore)
rm -f "$big" "$big".*

# Real documentation pages, as Debian ships them, protected: how much larger
# a page gets with the whole page carried along.
docs=$work/docs
mkdir "$docs"
cp /usr/share/doc/nodejs/api/*.html "$docs"/ 2>/dev/null || true
# sed, not head, reads the list to its end: under pipefail, sort cut off
# early would fail the run.
{ find /usr/share/doc/python3*/html/library -name '*.html' 2>/dev/null || true; } | sort | sed -n '1,60p' | xargs -r cp -t "$docs"
doc_ratios=()
if compgen -G "$docs/*.html" >/dev/null; then
  printf '%s\n' "$password" | "$cli" --password-stdin --protect --output "$work/docs-protected" "$docs" >/dev/null 2>&1
  for doc in "$docs"/*.html; do
    doc_ratios+=("$(awk -v a="$(stat -c %s "$doc")" -v b="$(stat -c %s "$work/docs-protected/${doc##*/}")" 'BEGIN { printf "%.3f", b / a }')")
  done
fi

cp_ms=$(median "${cp_times[@]}")
sync_ms=$(median "${sync_times[@]}")
protect_ms=$(median "${protect_times[@]}")
restore_ms=$(median "${restore_times[@]}")
batch_protect_ms=$(median "${batch_protect_times[@]}")
batch_restore_ms=$(median "${batch_restore_times[@]}")
strong_ms=$(median "${strong_times[@]}")
one_strong_ms=$(median "${one_strong_times[@]}")

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1fx cp", a / b }'; }
within() { awk -v a="$1" -v b="$2" -v limit="$3" 'BEGIN { print (a <= limit * b) ? "yes" : "NO" }'; }
per_second() { awk -v n="$1" -v ms="$2" 'BEGIN { printf "%.0f pages/s", n * 1000 / ms }'; }
under() { awk -v ms="$1" -v limit="$2" 'BEGIN { print (ms < limit) ? "yes" : "NO" }'; }

page_mib=$((page_bytes / 1024 / 1024))
echo
echo "| Measure | Median time | Rate | Target | Met |"
echo "| --- | ---: | ---: | --- | --- |"
echo "| cp of a ${page_mib} MiB page (the floor) | ${cp_ms} ms | 1.0x cp | | |"
echo "| cp, then sync of the copy | ${sync_ms} ms | $(ratio "$sync_ms" "$cp_ms") | | |"
echo "| kelvara-cli --protect, ${page_mib} MiB page | ${protect_ms} ms | $(ratio "$protect_ms" "$cp_ms") | within 10x cp | $(within "$protect_ms" "$cp_ms" 10) |"
echo "| kelvara-cli --restore, its protected form | ${restore_ms} ms | $(ratio "$restore_ms" "$cp_ms") | within 10x cp | $(within "$restore_ms" "$cp_ms" 10) |"
echo "| kelvara-cli --protect, ${batch_pages} pages of $((batch_page_bytes / 1024)) KiB | ${batch_protect_ms} ms | $(per_second "$batch_pages" "$batch_protect_ms") | under 1 s | $(under "$batch_protect_ms" 1000) |"
echo "| kelvara-cli --restore, the same ${batch_pages} pages | ${batch_restore_ms} ms | $(per_second "$batch_pages" "$batch_restore_ms") | | |"
echo "| kelvara-cli --protect --strong, one small page (mostly one key derivation) | ${one_strong_ms} ms | | | |"
strong_limit=$(awk -v a="$batch_protect_ms" -v b="$one_strong_ms" 'BEGIN { printf "%.1f", 2 * a + b }')
echo "| kelvara-cli --protect --strong, the same ${batch_pages} pages | ${strong_ms} ms | $(per_second "$batch_pages" "$strong_ms") | at most ${strong_limit} ms (twice the default form, plus one derivation) | $(under "$strong_ms" "$strong_limit") |"
if ((${#doc_ratios[@]})); then
  doc_median=$(median "${doc_ratios[@]}")
  echo
  echo "| Protected size, real documentation pages | Median | Smallest | Largest | Target | Met |"
  echo "| --- | ---: | ---: | ---: | --- | --- |"
  echo "| ${#doc_ratios[@]} pages (Node.js API, Python library) | ${doc_median}x | $(printf '%s\n' "${doc_ratios[@]}" | sort -g | head -1)x | $(printf '%s\n' "${doc_ratios[@]}" | sort -g | tail -1)x | at most 3.2x | $(awk -v r="$doc_median" 'BEGIN { print (r <= 3.2) ? "yes" : "NO" }') |"
else
  echo
  echo "(no documentation pages to measure: scripts/install-deps.sh docs)"
fi
peak_row() { # peak_row WHAT PEAK_KIB FROM_BYTES TO_BYTES
  awk -v what="$1" -v peak="$2" -v a="$3" -v b="$4" 'BEGIN {
    larger = a > b ? a : b; times = peak * 1024 / larger
    printf "| %s | %.0f MiB | %.2fx | at most 1.5x | %s |\n", what, peak / 1024, times, times <= 1.5 ? "yes" : "NO" }'
}
echo
echo "| Peak resident memory, 100 MiB page | Peak | Of the larger of page and result | Target | Met |"
echo "| --- | ---: | ---: | --- | --- |"
peak_row "kelvara-cli --protect ($((big_bytes >> 20)) MiB to $((protected_bytes >> 20)) MiB)" "$protect_peak" "$big_bytes" "$protected_bytes"
peak_row "kelvara-cli --restore ($((protected_bytes >> 20)) MiB to $((big_bytes >> 20)) MiB)" "$restore_peak" "$protected_bytes" "$big_bytes"
echo
echo
echo "== the decoder in headless Chromium"
if command -v node >/dev/null && [[ -x /usr/bin/chromium && -d tests/browser/node_modules/playwright-core ]]; then
  node bench/browser_decode.mjs "$cli" "$runs"
else
  echo "(left out: it needs node, Chromium and tests/browser's npm packages: scripts/install-deps.sh browser)"
fi
echo
cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
mem=$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1024 / 1024 }' /proc/meminfo)
fs=$(df -T "$work" | awk 'NR == 2 { print $2 }')
echo "Machine: $(nproc) cores ($cpu), $mem, $fs file system, Linux $(uname -r), load average $(cut -d' ' -f1-3 /proc/loadavg)."
