#!/usr/bin/env bash
# Builds the NTFS test image once per test run, into <work>/ntfs. When FUSE
# mounting is not possible it leaves <work>/ntfs/SKIP with the reason, and the
# image tests skip themselves.
work="$1"
out="$work/ntfs"
mkdir -p "$out"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
reason=""
if ! command -v mkntfs >/dev/null || ! command -v ntfs-3g >/dev/null; then
  reason="mkntfs or ntfs-3g is not installed"
elif [ ! -e /dev/fuse ]; then
  reason="/dev/fuse is missing"
fi
if [ -z "$reason" ]; then
  python3 "$here/make_ntfs_image.py" "$out" >"$out/make.log" 2>&1
  rc=$?
  if [ $rc -eq 77 ]; then
    reason="FUSE mounting failed: $(tail -1 "$out/make.log")"
  elif [ $rc -ne 0 ]; then
    echo "building the NTFS image failed:"; cat "$out/make.log"; exit 1
  fi
fi
if [ -n "$reason" ]; then
  echo "$reason" >"$out/SKIP"
fi
exit 0
