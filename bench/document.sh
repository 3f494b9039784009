#!/usr/bin/env bash
# Document-window benchmark of the Windows program under Wine: how soon the first rows of the
# 100,000-entry archive show and how much memory the open archive adds. Times, in one run:
#   start    from starting Corvane with the archive on its command line to its first row
#   forward  from handing the archive to the running program (as a second start does) to the rows
#   open     from pressing Open in File > Open to the rows
# and, on the Linux side, listing the same archive with unzip -l, 7zz l and bsdtar -tv as peers;
# then sorting the rows by name and by size (the first click of a column with its keys built, the
# second alone) and typing into the search box (the first key press with the names folded, the
# longest later one) and showing the folder tree (View > Folders); then, extracting a 1 GiB entry
# through Extract To, the frame's longest reply to a message (reply) and the run's time, against
# unzip extracting the same entry.
# Memory is the program's resident size (VmRSS) after the forwarded archive shows, less before,
# and its peak (VmHWM). Prints medians of BENCH_REPS runs (default 5) with the ratio to unzip -l.
#
# usage: bench/document.sh [CORPUS-DIR]   (default /tmp/corvane-bench; the archive is made once)
set -eEuo pipefail
# A failing step would otherwise end the run without a word.
trap 'echo "document.sh: line $LINENO failed: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/.."
root=$PWD
export LANG=C.UTF-8 LC_ALL=C.UTF-8

if [ "${1:-}" != --in-session ]; then
  corpus=$(realpath -m "${1:-/tmp/corvane-bench}")
  reps=${BENCH_REPS:-5}
  b=$root/${CORVANE_BUILD:-build}/win
  cmake -S . -B "$b" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$b" --target Corvane corvane-bench-open >/dev/null
  python3 -c "import sys; sys.path.insert(0, 'bench'); import make_corpora as m, os
b = sys.argv[1]; os.makedirs(b, exist_ok=True)
m.make_files100k(os.path.join(b, 'files100k'))
m.zip_folder(os.path.join(b, 'files100k'), os.path.join(b, 'files100k.zip'), ['.'])
big = os.path.join(b, 'zeros1g.zip')
if not os.path.exists(big):
    import zipfile
    with zipfile.ZipFile(big + '.part', 'w', zipfile.ZIP_DEFLATED, compresslevel=1) as z:
        with z.open('zeros.bin', 'w', force_zip64=True) as f:
            for _ in range(1024): f.write(bytes(1 << 20))
    os.rename(big + '.part', big)" "$corpus"
  prefix=$(mktemp -d /tmp/corvane-bench-prefix.XXXXXX)
  trap 'rm -rf "$prefix"' EXIT
  WINEPREFIX=$prefix CORVANE_BIN=$b/bin ARCHIVE=$corpus/files100k.zip BIG=$corpus/zeros1g.zip \
    REPS=$reps \
    xvfb-run -a -s "-screen 0 1280x1024x24" tools/wine-session.sh "$0" --in-session
  exit
fi

# Inside the Wine session.
wine64 'C:\windows\system32\reg.exe' add 'HKCU\Software\Corvane\Settings' /v frun /d 0 /f >/dev/null
exe=$(wine64 winepath -w "$CORVANE_BIN/Corvane.exe" 2>/dev/null)
arch=$(wine64 winepath -w "$ARCHIVE" 2>/dev/null)
# The program inherits the driver's output, so a pipe would stay open: the driver writes a file.
out=$(mktemp)
driver() { wine64 "$CORVANE_BIN/corvane-bench-open.exe" "$@" >"$out"; tr -d '\r' <"$out"; }
# The program's process: the one of this prefix (other prefixes may run a Corvane too).
program() {
  for pid in $(pgrep -f 'Corvane\.exe'); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" && echo "$pid"
  done | tail -1
}
kib() { awk -v f="$1:" '$1 == f {print $2}' "/proc/$(program)/status"; }
median() { sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}'; }
seconds() { /usr/bin/time -f %e "$@" 2>&1 >/dev/null | tail -1; }

declare -a start forward open added peak unzipl sevenz bsd
for ((i = 0; i < REPS; i++)); do
  start+=("$(driver start "$exe" "$arch" | cut -d' ' -f1)")
  driver close
  driver start "$exe"
  sleep 1
  before=$(kib VmRSS)
  forward+=("$(driver forward "$arch" | cut -d' ' -f1)")
  sleep 1
  added+=("$(( ($(kib VmRSS) - before) / 1024 ))")
  open+=("$(driver open "$arch" | cut -d' ' -f1)")
  peak+=("$(( $(kib VmHWM) / 1024 ))")
  driver close
  unzipl+=("$(seconds unzip -l "$ARCHIVE")")
  sevenz+=("$(seconds 7zz l "$ARCHIVE")")
  bsd+=("$(seconds bsdtar -tvf "$ARCHIVE")")
done

# Sorting and searching the 100,000 rows of a document, in milliseconds.
declare -a namekeys namesort sizekeys sizesort firstkey keys tree
for ((i = 0; i < REPS; i++)); do
  driver start "$exe" "$arch" >/dev/null
  read -r a b c d e f n t < <(driver sort-find)
  namekeys+=("$a"); namesort+=("$b"); sizekeys+=("$c"); sizesort+=("$d")
  firstkey+=("$e"); keys+=("$f"); tree+=("$t")
  driver close
done

# The frame's answers while a 1 GiB entry is extracted, and unzip extracting it.
out_dir=$(mktemp -d /tmp/corvane-bench-out.XXXXXX)
declare -a reply extract unzipx
for ((i = 0; i < REPS; i++)); do
  driver start "$exe" "$(wine64 winepath -w "$BIG" 2>/dev/null)" >/dev/null
  read -r ms secs < <(driver replies "$(wine64 winepath -w "$out_dir" 2>/dev/null)")
  reply+=("$ms")
  extract+=("$secs")
  driver close
  rm -rf "${out_dir:?}"/*
  unzipx+=("$(seconds unzip -qo "$BIG" -d "$out_dir")")
  rm -rf "${out_dir:?}"/*
done
rm -rf "$out_dir"

base=$(printf '%s\n' "${unzipl[@]}" | median)
printf '%-34s %8s %8s\n' "100,000 entries ($REPS runs, median)" seconds "x unzip"
row() {
  local m
  m=$(printf '%s\n' "${@:2}" | median)
  printf '%-34s %8.2f %8.2f\n' "$1" "$m" "$(awk -v a="$m" -v b="$base" 'BEGIN{print a / b}')"
}
row "Corvane: first rows from start" "${start[@]}"
row "Corvane: first rows, forwarded" "${forward[@]}"
row "Corvane: first rows, File > Open" "${open[@]}"
row "unzip -l" "${unzipl[@]}"
row "7zz l" "${sevenz[@]}"
row "bsdtar -tv" "${bsd[@]}"
printf '1 GiB entry: Corvane extracts in %s s (unzip %s s); the frame answers within %s ms at most\n' \
  "$(printf '%s\n' "${extract[@]}" | median)" "$(printf '%s\n' "${unzipx[@]}" | median)" \
  "$(printf '%s\n' "${reply[@]}" | median)"
ms() { printf '%s\n' "$@" | median; }
printf 'Sort of 100,000 rows (ms): by name %s (keys built with it: %s), by size %s (first %s)\n' \
  "$(ms "${namesort[@]}")" "$(ms "${namekeys[@]}")" "$(ms "${sizesort[@]}")" "$(ms "${sizekeys[@]}")"
printf 'Search of 100,000 rows (ms): a key press %s at most, the first (names folded) %s\n' \
  "$(ms "${keys[@]}")" "$(ms "${firstkey[@]}")"
printf 'Folder tree of 100,000 rows (ms): View > Folders %s\n' "$(ms "${tree[@]}")"
printf 'Corvane memory: %s MiB added by the open archive, %s MiB peak (two documents)\n' \
  "$(printf '%s\n' "${added[@]}" | median)" "$(printf '%s\n' "${peak[@]}" | median)"
