#!/usr/bin/env bash
# The shipped engine against the native one: cvunzip.dll of the Windows build, run under Wine by
# bench/unzip_dll.cpp (timed inside the process, Wine's start not counted), and the native cvz,
# in the same run on the same corpora. Testing reads, inflates and checks every entry and writes
# nothing, so its ratio is the codec's and the engine's own; extracting adds Wine's file system.
# Prints medians and the ratio of each Windows row to the native one.
#
# usage: bench/windows.sh [CORPUS-DIR]   (default /tmp/corvane-bench; BENCH_REPS=3 repetitions)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
export LANG=C.UTF-8 LC_ALL=C.UTF-8

if [ "${1:-}" != --in-session ]; then
  corpus=$(realpath -m "${1:-/tmp/corvane-bench}")
  reps=${BENCH_REPS:-3}
  win=$root/${CORVANE_BUILD:-build}/win native=$root/${CORVANE_BUILD:-build}/bench
  cmake -S . -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$win" --target corvane-bench-unzip >/dev/null
  cmake -S . -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF >/dev/null
  cmake --build "$native" --target cvz >/dev/null
  python3 bench/make_corpora.py "$corpus"
  prefix=$(mktemp -d /tmp/corvane-bench-prefix.XXXXXX)
  trap 'rm -rf "$prefix"' EXIT
  WINEPREFIX=$prefix DRIVER=$win/bin/corvane-bench-unzip.exe CVZ=$native/engine/cvz \
    CORPUS=$corpus REPS=$reps xvfb-run -a -s "-screen 0 1280x1024x24" \
    tools/wine-session.sh "$0" --in-session
  exit
fi

# Inside the Wine session.
out=/dev/shm/corvane-bench-windows
median() { sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
windows() { wine64 "$DRIVER" "$@" | tr -d '\r'; }
native() { /usr/bin/time -f %e "$CVZ" "$@" 2>&1 >/dev/null | tail -1; }
printf '%-18s %10s %10s %8s\n' task "native s" "Windows s" "x native"
row() {  # row TASK ARCHIVE [PASSWORD]: test, or extract into $out
  local task=$1 archive=$CORPUS/$2 password=("${@:3}") option=() n=() w=() i
  [ -z "${3:-}" ] || option=(-p "$3")
  for ((i = 0; i < REPS; i++)); do
    rm -rf "$out"
    if [ "${task%% *}" = test ]; then
      n+=("$(native test "$archive" -q "${option[@]}")")
      w+=("$(windows test "$(wine64 winepath -w "$archive" 2>/dev/null)" "${password[@]}")")
    else
      n+=("$(native extract "$archive" -d "$out" -qq -o)")
      rm -rf "$out"
      mkdir -p "$out"
      w+=("$(windows extract "$(wine64 winepath -w "$archive" 2>/dev/null)" \
        "$(wine64 winepath -w "$out" 2>/dev/null)")")
    fi
  done
  rm -rf "$out"
  local a b
  a=$(printf '%s\n' "${n[@]}" | median) b=$(printf '%s\n' "${w[@]}" | median)
  printf '%-18s %10.2f %10.2f %8.2f\n' "$task" "$a" "$b" "$(awk -v a="$a" -v b="$b" 'BEGIN{print b / a}')"
}
row "test tree" tree.zip
row "test 1 GiB file" big.zip
# The password of make_corpora.py's AES corpus.
row "test AES tree" tree-aes256.zip corvane
row "extract tree" tree.zip
