#!/usr/bin/env bash
# Sets up the machine, builds Lumsek and runs every test under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$ROOT/tools/setup.sh"

# The 32-bit product, tests included, always builds.
configure_and_build i686
bad=0
for f in "$BUILD_ROOT"/i686/bin/*.exe "$BUILD_ROOT"/i686/bin/*.dll; do
  [ -e "$f" ] || continue
  file "$f" | grep -q 'Intel 80386' || { echo "not a 32-bit x86 program: $(file "$f")"; bad=1; }
done
[ "$bad" -eq 0 ] || exit 1

arch="$(run_arch)"
if [ "$arch" != i686 ]; then
  echo "[test] this kernel cannot start 32-bit Linux programs, so wine32 cannot run:"
  echo "[test] running the tests from the 64-bit build of the same sources under wine64"
  configure_and_build "$arch"
fi
cd "$BUILD_ROOT/$arch"
ctest --output-on-failure -j"$(nproc)"
