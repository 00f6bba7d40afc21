#!/usr/bin/env bash
# Processes against threads for a fit on one machine: the 4-parameter axial
# Cu(II) fit of fit_bench (g⊥ as gx,gy, g∥, A∥, width; 1024 points from 2500
# to 3700 G on the default powder grid, started 0.02 off in g, 15 % in A∥,
# 30 % in the width), here without noise, by Levenberg–Marquardt and by the
# global search (16 starts): one process with one and with two threads, and
# two MPI processes with one thread each. The layouts alternate, so load
# from other jobs falls on all of them; the reports (less their time) must
# be the same bytes.
#   bench/cluster_fit_scaling.sh [build folder] [repetitions]
set -euo pipefail
build="${1:-build}"
repetitions="${2:-2}"
quorra="$(cd "$build" && pwd)/src/cli/quorra"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
grid=(--set points=1024 --set fieldCentre=3100 --set fieldRange=1200)
"$quorra" simulate "${grid[@]}" --set gx=2.055 --set gy=2.055 --set gz=2.245 --set Az=185 \
  --set isotropicWidth=15 -o measured.txt 2>/dev/null
fit=(fit measured.txt --set gx=2.035 --set gy=2.035 --set gz=2.265 --set Az=212.75 --set isotropicWidth=10.5
  --vary gx,gy=2.0:2.1 --vary gz=2.15:2.35 --vary Az=140:240 --vary isotropicWidth=5:30)
mpirun=(mpirun --oversubscribe --allow-run-as-root)
wall() { /usr/bin/time -f "%e" "$@" 2>&1 >/dev/null | tail -1; }
# The wall time, and in brackets the fit's own (from its report: without
# mpirun's launch and the reading of the files).
timed() {
  local report="$1"
  shift
  echo "$(wall "$@" -o "$report") s ($(grep -o '"seconds": [0-9.]*' "$report" | cut -d' ' -f2 | cut -c1-4) s)"
}
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for method in lm global; do
  for run in $(seq "$repetitions"); do
    echo "$method run $run:" \
      "1 x 1 $(timed one-one.json "$quorra" "${fit[@]}" --method "$method" --threads 1)," \
      "1 x 2 $(timed one-two.json "$quorra" "${fit[@]}" --method "$method" --threads 2)," \
      "2 x 1 $(timed two-one.json "${mpirun[@]}" -n 2 "$quorra" "${fit[@]}" --method "$method" --threads 1)"
  done
  for report in one-one one-two two-one; do grep -v '"seconds"' $report.json >$report.same; done
  cmp one-one.same one-two.same && cmp one-one.same two-one.same &&
    echo "$method: the three reports are the same bytes, $(grep -o '"simulations": [0-9]*' one-one.json)"
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
