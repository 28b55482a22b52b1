#!/bin/bash
# Drives the real window under Xvfb as a new user would; run it with
#   TOLVAN_INI=/tmp/tolvan-e2e.ini xvfb-run -a -s "-screen 0 1280x800x24" bash tests/windows/frame/e2e_drive.sh build
set -u
B=${1:-build}; OUT=${OUT:-/tmp/tolvan-e2e}; rm -rf "$OUT"; mkdir -p "$OUT"; rm -f "$TOLVAN_INI"
shot() { import -window root "$OUT/$1.png"; }
"$B/bin/tolvan" > "$OUT/tolvan.log" 2>&1 & PID=$!
sleep 4; shot 01-first-box; xdotool key Return; sleep 1; xdotool key Return; sleep 2
# Clicks are given relative to the main window's top-left corner, wherever
# the program placed it.
eval "$(xdotool search --onlyvisible --name '^Tolvan' getwindowgeometry --shell | head -5)"
WX=${X:-0}; WY=${Y:-0}
at() { xdotool mousemove $((WX + $1)) $((WY + $2)); }
fail=0
# Keyboard menu: x of the title, y of each layout item.
for spec in "anjal 51" "mylai 72" "typewriter 93" "roman 114"; do
  set -- $spec
  xdotool key ctrl+n; sleep 2                       # a fresh window starts in Tamil mode
  at 183 8; xdotool click 1; sleep 0.7; at 220 "$2"; xdotool click 1; sleep 0.5
  xdotool type --delay 50 'vaNakkam thamiz'; sleep 0.5
  xdotool key ctrl+s; sleep 2; xdotool type --delay 20 "$OUT/$1.txt"; xdotool key Return; sleep 1.5
  shot "02-$1"
  if cmp -s "$OUT/$1.txt" <(printf 'vaNakkam thamiz' | "$B/bin/tolvan-cli" type --layout "$1"); then
    echo "$1: saved bytes match tolvan-cli"
  else echo "$1: MISMATCH"; xxd "$OUT/$1.txt"; fail=1; fi
done
# Find and Replace closed with Escape hand the keyboard back to the frame
# (nothing else does without a window manager).
for k in ctrl+f ctrl+r; do
  xdotool key $k; sleep 1; xdotool key Escape; sleep 1
  case "$(xdotool getwindowfocus getwindowname 2>/dev/null)" in
    Tolvan*) echo "$k, Escape: the frame has the keyboard" ;;
    *) echo "$k, Escape: no window has the keyboard"; shot "02-$k-focus"; fail=1 ;;
  esac
done
# Bold and 20 points on the whole text, then Save As .rtf.
xdotool key ctrl+a; at 202 66; xdotool click 1; sleep 0.3
at 160 66; xdotool click --repeat 3 1; xdotool key ctrl+a; xdotool type '20'; xdotool key Return; sleep 0.5
at 36 8; xdotool click 1; sleep 0.7; at 75 91; xdotool click 1; sleep 2
xdotool type --delay 20 "$OUT/fmt.rtf"; xdotool key Return; sleep 1.5; shot 03-formatted
grep -q '\\b' "$OUT/fmt.rtf" && grep -q '\\fs40' "$OUT/fmt.rtf" && echo "rtf: bold, 20 pt" || { echo "rtf: formatting missing"; fail=1; }
# Close all, reopen both kinds of file, add a key to each and save again.
at 36 8; xdotool click 1; sleep 0.7; at 75 179; xdotool click 1; sleep 2; shot 04-closed
for f in fmt.rtf roman.txt; do
  xdotool key ctrl+o; sleep 2; xdotool type --delay 20 "$OUT/$f"; xdotool key Return; sleep 2
  xdotool key ctrl+End; xdotool type --delay 50 ' ka'; xdotool key ctrl+s; sleep 1.5; shot "05-$f"
done
[ "$(xxd -p "$OUT/roman.txt")" = "$(printf 'vaNakkam thamiz' | "$B/bin/tolvan-cli" type --layout roman | xxd -p)20b8" ] \
  && echo "txt reopened and extended" || { echo "txt: unexpected bytes"; xxd "$OUT/roman.txt"; fail=1; }
"$B/bin/tolvan-cli" rtf --to text "$OUT/fmt.rtf" | xxd
# Exit through the menu with nothing left unsaved.
at 36 8; xdotool click 1; sleep 0.7; xdotool key x; sleep 2  # E&xit, wherever it is in the menu
kill -0 $PID 2>/dev/null && { echo "still running"; shot 06-still-running; kill $PID; fail=1; }
exit $fail
