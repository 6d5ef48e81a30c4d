#!/usr/bin/env bash
# Builds (when needed) and runs every benchmark program, one after the other, and prints
# their figures. Each program makes its large files once (under /tmp) and reuses them.
#   scripts/bench.sh                 every benchmark
#   scripts/bench.sh console_data    only those whose name holds the word
# Arguments after "--" go to each program (for example --benchmark_filter=Sent).
# Figures taken while other work runs on the machine are slower: note the load
# (shown before each program) beside them.
set -euo pipefail
. "$(dirname "$0")/common.sh"
cd "$ROOT_DIR"
BUILD="${BUILD:-build}"
only=""
if [ $# -gt 0 ] && [ "$1" != "--" ]; then only="$1"; shift; fi
[ "${1:-}" = "--" ] && shift
if [ ! -d "$BUILD/bench" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPARLIX_BENCH=ON ${PARLIX_CMAKE_ARGS:-}
fi
cmake --build "$BUILD" -j "$JOBS"
found=0
for program in "$BUILD"/bench/parlix_*_bench; do
  [ -x "$program" ] || continue
  name="$(basename "$program")"
  [ -n "$only" ] && [[ "$name" != *"$only"* ]] && continue
  found=1
  echo "== $name (load: $(cut -d' ' -f1-3 /proc/loadavg))"
  QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}" "$program" "$@"
done
if [ "$found" -eq 0 ]; then
  echo "bench: no benchmark program in $BUILD/bench${only:+ matching \"$only\"}" >&2
  exit 1
fi
