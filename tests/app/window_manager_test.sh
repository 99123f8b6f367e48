#!/usr/bin/env bash
# The viewer under a real window manager: Xvfb with openbox, driven with xdotool like a user.
#  - the multiplier dialog and a message box open above the Video window (which stays on top) and
#    take the focus, as the window manager's stacking order (_NET_CLIENT_LIST_STACKING) shows;
#  - File > Quit while the video plays ends the process within two seconds.
# Usage: window_manager_test.sh HULVEX_VIEWER HULVEX
# Exits 77 (skipped) when a tool is missing, except under CI=true, where that is a failure.
set -euo pipefail

viewer=$1
tool=$2

for t in Xvfb openbox xprop xdotool import; do
  if ! command -v "$t" >/dev/null; then
    echo "window_manager_test: $t is not installed (scripts/install-deps installs it)"
    [[ "${CI:-}" == "true" ]] && exit 1
    exit 77
  fi
done

work=$(mktemp -d)
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  {
    echo "FAIL: $*"
    xdotool search --onlyvisible --name '.' | while read -r id; do printf '  0x%x %s\n' "$id" "$(xdotool getwindowname "$id")"; done
    xprop -root _NET_CLIENT_LIST_STACKING _NET_ACTIVE_WINDOW
  } >&2 || true
  exit 1
}

# Polls `command` every 0.1 s for up to `seconds`.
wait_for() {
  local seconds=$1 i
  shift
  for ((i = 0; i < seconds * 10; ++i)); do
    if "$@" >/dev/null 2>&1; then return 0; fi
    sleep 0.1
  done
  return 1
}

# The id of the visible window whose title matches the regex $1 (waits up to 30 s for it).
window() {
  wait_for 30 xdotool search --onlyvisible --name "$1" || fail "no window titled /$1/"
  xdotool search --onlyvisible --name "$1" | head -n 1
}

# The window's place in the stacking order, counted from 1 at the bottom; empty when not there.
stack_position() {
  xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //' | tr ',' '\n' | grep -nx " *$(printf '0x%x' "$1")" | cut -d: -f1 || true
}

expect_above_and_active() {
  local top=$1 below=$2 what=$3
  local a b
  a=$(stack_position "$top")
  b=$(stack_position "$below")
  [[ -n "$a" && -n "$b" ]] && ((a > b)) || fail "$what is not above the Video window (positions $a and $b)"
  wait_for 5 bash -c "xprop -root _NET_ACTIVE_WINDOW | grep -qi '$(printf '0x%x' "$top")\$'" ||
    fail "$what does not have the focus"
  echo "ok: $what is above the Video window and has the focus"
}

# The display: Xvfb picks a free one and writes its number.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 20 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(cat "$work/display")"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 20 bash -c "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" || fail "openbox did not start"

"$tool" make-demo "$work/runs" >/dev/null
# Under LeakSanitizer, the desktop libraries' own end-of-process allocations are not the viewer's.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$0")/desktop_leaks.supp:print_suppressions=0"
"$viewer" "$work/runs/DV30HEAD.HVX" >"$work/viewer.log" 2>&1 &
viewer_pid=$!
pids+=("$viewer_pid")

start=$(window '^HULVEX Viewer Startup$')
xdotool windowactivate --sync "$start" key Return
main=$(window '^Current Run Name = ')
video=$(window '^Video')

# Menu bar by keyboard: Alt+F opens File; Right moves along Go, Stop, VideoTimeAdj.
open_menu_item() {
  xdotool windowactivate --sync "$main"
  xdotool key alt+f
  sleep 0.3
  xdotool key "$@"
}

# The multiplier dialog, with the video shown.
open_menu_item Right Right Right Return
dialog=$(window '^Video Time Multiplier$')
expect_above_and_active "$dialog" "$video" "the multiplier dialog"

# A refused multiplier: the message box.
xdotool type --delay 20 abc
xdotool key Tab space
box=$(window '^KVRView2$')
expect_above_and_active "$box" "$video" "the message box"
xdotool key Return
wait_for 10 bash -c "! xdotool search --onlyvisible --name '^KVRView2$'" || fail "the message box did not close"

# Play (Space), and see the picture change.
xdotool windowactivate --sync "$main" key space
sleep 1
import -window "$video" "rgb:$work/a.rgb"
sleep 0.5
import -window "$video" "rgb:$work/b.rgb"
if cmp -s "$work/a.rgb" "$work/b.rgb"; then fail "the video does not play"; fi

# Whether process $1 runs (exists and is not a zombie waiting to be reaped).
running() { [[ -e /proc/$1 ]] && [[ "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)" != "Z" ]]; }

# File > Quit while playing: Open is highlighted, Up wraps round to Quit, the last item.
open_menu_item Up Return
begin=$(date +%s%N)
for ((i = 0; i < 100; ++i)); do
  running "$viewer_pid" || break
  sleep 0.02
done
if running "$viewer_pid"; then fail "the viewer still runs 2 s after File > Quit"; fi
elapsed_ms=$((($(date +%s%N) - begin) / 1000000))
status=0
wait "$viewer_pid" || status=$?
[[ $status -eq 0 ]] || fail "the viewer ended with status $status: $(cat "$work/viewer.log")"
echo "ok: File > Quit while playing ended the viewer after about $elapsed_ms ms"
