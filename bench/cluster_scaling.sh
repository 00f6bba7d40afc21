#!/usr/bin/env bash
# Processes against threads on one machine: the D = 16 powder (I = 7/2,
# g = 1.98, 1.97, 1.94, A = 100, 60, 40 G, default grid) as one process with
# two threads, two MPI processes with one thread each, and one thread alone.
# With a tolerance, the adaptive grid to that tolerance on 2500–4500 G
# instead. MPI runs are separate processes started by mpirun, which a
# benchmark library inside one process cannot time; this script times them
# from the outside (wall time, and in brackets the run's own time without
# the launch) and checks that the three spectra are the same bytes.
#   bench/cluster_scaling.sh [build folder] [repetitions] [tolerance]
set -euo pipefail
build="${1:-build}"
repetitions="${2:-2}"
tolerance="${3:-}"
quorra="$(cd "$build" && pwd)/src/cli/quorra"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
d16=(--set nuclearSpinText=7/2 --set gx=1.98 --set gy=1.97 --set gz=1.94 --set Ax=100 --set Ay=60 --set Az=40)
if [ -n "$tolerance" ]; then
  d16+=(--grid adaptive --tolerance "$tolerance" --set fieldCentre=3500 --set fieldRange=2000)
fi
mpirun=(mpirun --oversubscribe --allow-run-as-root)
wall() {
  local seconds
  seconds="$(/usr/bin/time -o time.txt -f "%e" "$@" --json 2>/dev/null | sed 's/.*"seconds": \([^,]*\),.*/\1/')"
  printf '%s (%.2f)' "$(tail -1 time.txt)" "$seconds"
}
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for run in $(seq "$repetitions"); do
  echo "run $run: 1 process x 2 threads $(wall "$quorra" simulate "${d16[@]}" --threads 2 -o one-two.txt) s," \
       "2 processes x 1 thread $(wall "${mpirun[@]}" -n 2 "$quorra" simulate "${d16[@]}" --threads 1 -o two-one.txt) s"
done
echo "1 process x 1 thread $(wall "$quorra" simulate "${d16[@]}" --threads 1 -o one-one.txt) s"
cmp one-two.txt two-one.txt && cmp one-one.txt two-one.txt && echo "the three spectra are the same bytes"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
