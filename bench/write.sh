#!/usr/bin/env bash
# Write benchmarks of the zip engine against zip, 7zz and bsdtar, all in one run on the same
# corpora: create an archive of a tree and of one big file at level 6, then delete one entry from
# and add one small file to the tree's archive. Prints one table row per tool and task: wall
# seconds, peak memory (MiB), archive size, and the ratio to zip's time.
#
# usage: bench/write.sh CVZ TREE BIGFILE WORKDIR [changes]
#   CVZ      the native cvz tool
#   TREE     folder of many files (archived with its folder name, recursively)
#   BIGFILE  one large file
#   WORKDIR  scratch folder for the archives (emptied first)
#   changes  only the delete and add (the tree's archive is made untimed first)
# A command that fails fails the benchmark.
set -euo pipefail
[ $# -eq 4 ] || [ $# -eq 5 ] || { sed -n 2,14p "$0"; exit 2; }
only=${5:-}
cvz=$(realpath "$1") tree=$(realpath "$2") big=$(realpath "$3") work=$4
rm -rf "$work" && mkdir -p "$work" && work=$(realpath "$work")
cd "$(dirname "$tree")"
treeName=$(basename "$tree")

declare -A zipTime
printf '%-8s %-22s %8s %9s %12s %7s\n' task tool seconds "peak MiB" bytes "x zip"

# measure TASK TOOL ARCHIVE COMMAND...: runs the command once, timed, from the tree's parent.
measure() {
  local task=$1 tool=$2 archive=$3
  shift 3
  sync
  if ! /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>&1; then
    echo "$task $tool: failed ($(tail -1 "$work/time.txt"))" >&2
    exit 1
  fi
  local stats seconds kib
  stats=$(tail -1 "$work/time.txt")
  seconds=${stats% *} kib=${stats#* }
  local size=0
  [ -f "$archive" ] && size=$(stat -c %s "$archive")
  [ "$tool" = zip ] && zipTime[$task]=$seconds
  local ratio
  ratio=$(awk -v a="$seconds" -v b="${zipTime[$task]:-0}" 'BEGIN{ if (b > 0) printf "%.2f", a / b; else print "-" }')
  printf '%-8s %-22s %8.2f %9.1f %12d %7s\n' "$task" "$tool" "$seconds" "$(awk -v k="$kib" 'BEGIN{print k/1024}')" "$size" "$ratio"
}

# Creating: each tool writes a new archive of the tree, then of the big file.
if [ "$only" = changes ]; then
  zip -6 -q -r "$work/tree-zip.zip" "$treeName"
else
  for what in tree big; do
    if [ $what = tree ]; then src=$treeName; else src=$big; fi
    measure "$what" zip "$work/$what-zip.zip" zip -6 -q -r "$work/$what-zip.zip" "$src"
    measure "$what" "7zz -tzip -mx=5" "$work/$what-7z.zip" 7zz a -tzip -mx=5 "$work/$what-7z.zip" "$src"
    measure "$what" "bsdtar --format zip" "$work/$what-bsdtar.zip" bsdtar --format zip -cf "$work/$what-bsdtar.zip" "$src"
    measure "$what" "cvz add" "$work/$what-cvz.zip" "$cvz" add "$work/$what-cvz.zip" -r -q "$src"
    # As many workers as the engine runs at most: the memory bound must hold there too.
    measure "$what" "cvz add, 16 workers" "$work/$what-cvz16.zip" \
      env CORVANE_THREADS=16 "$cvz" add "$work/$what-cvz16.zip" -r -q "$src"
  done
fi

# Changing the tree's archive: each tool deletes one entry from its own copy of zip's archive,
# then adds one small file to it.
victim=$(zipinfo -1 "$work/tree-zip.zip" | grep -v '/$' | sed -n '1000p')
echo "small file added by the benchmark" >"$work/small.txt"
for tool in zip 7zz cvz; do
  cp "$work/tree-zip.zip" "$work/change-$tool.zip"
done
sync
measure delete zip "$work/change-zip.zip" zip -q -d "$work/change-zip.zip" "$victim"
measure delete "7zz d" "$work/change-7zz.zip" 7zz d "$work/change-7zz.zip" "$victim"
measure delete "cvz delete" "$work/change-cvz.zip" "$cvz" delete "$work/change-cvz.zip" "$victim"
cd "$work"
measure add zip "$work/change-zip.zip" zip -q "$work/change-zip.zip" small.txt
measure add "7zz a" "$work/change-7zz.zip" 7zz a -tzip "$work/change-7zz.zip" small.txt
measure add "cvz add" "$work/change-cvz.zip" "$cvz" add "$work/change-cvz.zip" -q small.txt
echo "entries in the changed archive: $(zipinfo -1 "$work/change-cvz.zip" | wc -l)"
unzip -tq "$work/change-cvz.zip" >/dev/null
[ "$only" = changes ] || { unzip -tq "$work/tree-cvz.zip" >/dev/null && unzip -tq "$work/big-cvz.zip" >/dev/null; }
echo "cvz archives test OK with unzip -t"
[ "$only" != changes ] || rm -rf "$work"
