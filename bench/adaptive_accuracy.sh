#!/usr/bin/env bash
# Accuracy of the adaptive powder grid: the largest difference of its
# spectrum from a converged exact one, over the peak-to-peak height. The
# exact grid converges about linearly in its steps (its rows lose the
# fraction of an orientation that the φ count truncates), so the reference
# is the Richardson extrapolation 2·S(h/F) − S(h/(F/2)) of two exact runs,
# F = FINE (default 8: the grids 4× and 8× finer than the default in both
# angles). Prints one line: adaptive, default exact and finest exact grid
# against the reference, and the adaptive run's orientations.
#   bench/adaptive_accuracy.sh QUORRA FINE [--set NAME=VALUE ...]
set -euo pipefail
quorra="$1"
fine="$2"
shift 2
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
half=$((fine / 2))
"$quorra" simulate "$@" -o "$work/exact.txt" 2>/dev/null
"$quorra" simulate "$@" --set thetaStep="$(/usr/bin/python3 -c "print(0.22 / $half)")" --set phiStep="$(/usr/bin/python3 -c "print(2.1 / $half)")" \
  -o "$work/half.txt" 2>/dev/null
"$quorra" simulate "$@" --set thetaStep="$(/usr/bin/python3 -c "print(0.22 / $fine)")" --set phiStep="$(/usr/bin/python3 -c "print(2.1 / $fine)")" \
  -o "$work/fine.txt" 2>/dev/null
orientations=$("$quorra" simulate "$@" --grid adaptive --json -o "$work/adaptive.txt" 2>/dev/null |
  /usr/bin/python3 -c 'import json, sys; print(json.load(sys.stdin)["orientations"])')
/usr/bin/python3 - "$work" "$orientations" <<'PY'
import sys, numpy as np
work, orientations = sys.argv[1], sys.argv[2]
load = lambda name: np.loadtxt(f"{work}/{name}.txt")[:, 1]
half, fine = load("half"), load("fine")
reference = 2 * fine - half
pp = reference.max() - reference.min()
worst = lambda s: np.abs(s - reference).max() / pp
print(f"adaptive {worst(load('adaptive')):.1e}  exact default {worst(load('exact')):.1e}  "
      f"exact finest {worst(fine):.1e}  adaptive orientations {orientations}")
PY
