#!/usr/bin/env bash
# Timing helper: runs a command REPS times and prints its median wall seconds and the largest
# peak resident memory (MiB) seen, as "SECONDS MIB". Before each run the folder CLEAN (if not
# "-") is removed, outside the timed part. A run that fails fails the measurement: its time would
# be the time of a failure.
#
# usage: bench/measure.sh REPS CLEAN COMMAND...
set -euo pipefail
reps=$1 clean=$2
shift 2
times=() peak=0
report=$(mktemp)
trap 'rm -f "$report"' EXIT
for ((i = 0; i < reps; i++)); do
  [ "$clean" = - ] || rm -rf "$clean"
  sync
  if ! /usr/bin/time -o "$report" -f '%e %M' "$@" >/dev/null 2>&1; then
    echo "measure: failed ($(tail -1 "$report")): $*" >&2
    exit 1
  fi
  stats=$(tail -1 "$report")
  times+=("${stats% *}")
  kib=${stats#* }
  if ((kib > peak)); then peak=$kib; fi
done
[ "$clean" = - ] || rm -rf "$clean"
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END{print a[int((NR+1)/2)]}')
awk -v s="$median" -v k="$peak" 'BEGIN{printf "%.2f %.1f\n", s, k / 1024}'
