#!/usr/bin/env bash
# A video export that hits the file-size limit (a full disk behaves alike): the command fails
# naming the file and the system's reason, leaves no partial file, and an older file of the same
# name is untouched.
# Usage: file_size_limit_test.sh HULVEX
set -euo pipefail
hulvex=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
"$hulvex" make-demo --growing PR24SINE --rate 1000000 . >/dev/null
status=0
for ext in mp4 gif; do
  printf 'an older file\n' >"out.$ext"
  set +e
  # SIGXFSZ ignored, so that a write beyond the limit fails with EFBIG instead of ending the process.
  err=$( (trap '' XFSZ; ulimit -f 16; "$hulvex" video PR24SINE -o "out.$ext" --to 10) 2>&1 >/dev/null)
  code=$?
  set -e
  if [ "$code" -ne 1 ]; then echo "$ext: exit status $code, expected 1"; status=1; fi
  case $err in
    *"out.$ext: File too large"*) ;;
    *) echo "$ext: the message does not name the file and the reason: $err"; status=1 ;;
  esac
  if [ "$(cat "out.$ext")" != "an older file" ]; then echo "$ext: the older file was changed"; status=1; fi
  if ls ./*.part >/dev/null 2>&1; then echo "$ext: a partial file was left: $(ls ./*.part)"; status=1; fi
done
# Without the limit the same export succeeds and replaces the older file.
"$hulvex" video PR24SINE -o out.mp4 --to 1 >/dev/null
printf 'an older file\n' >older
if cmp -s out.mp4 older; then echo "the export did not replace the older file"; status=1; fi
exit $status
