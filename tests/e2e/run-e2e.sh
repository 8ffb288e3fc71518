#!/usr/bin/env bash
# run-e2e.sh <state-dir> <wine-loader> <bin-dir> <case-script>
# Runs one end-to-end case: the real lumsek.exe, installed into a copy of the
# run's prefix, on the run's Xvfb display, driven with xdotool and watched
# with the probe program from inside Wine. The case script is sourced after
# lib.sh and fails through `fail`.
set -uo pipefail
export E2E_STATE="$1" E2E_WINE="$2" E2E_BIN="$3"
case_script="$4"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/lib.sh"
e2e_setup || exit 1
trap e2e_cleanup EXIT
source "$case_script"
echo "[e2e] $(basename "$case_script"): all checks passed"
