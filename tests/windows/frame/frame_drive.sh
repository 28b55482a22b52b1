#!/bin/bash
# Drives the real frame under Xvfb to look at what the window tests cannot:
# stacking and keyboard focus with and without a window manager, and the
# look of the bars with many documents and long paths. Run inside xvfb-run:
#
#   xvfb-run -a -s "-screen 0 1280x800x24" bash tests/windows/frame/frame_drive.sh build [openbox]
#
# Screenshots land in $OUT (default /tmp/tolvan-frame[-openbox]); the exit
# status is the number of failed checks.
set -u
BUILD=${1:-build}
WM=${2:-}
OUT=${OUT:-/tmp/tolvan-frame${WM:+-$WM}}
BIN=$(cd "$BUILD" && pwd)/bin/tolvan
rm -rf "$OUT" && mkdir -p "$OUT"
fails=0
check() {  # check NAME CONDITION...
  local name=$1; shift
  if "$@"; then echo "ok   $name"; else echo "FAIL $name"; fails=$((fails + 1)); fi
}
shot() { import -window root "$OUT/$1.png"; }

if [ "$WM" = openbox ]; then
  openbox >/dev/null 2>&1 &
  WMPID=$!
  sleep 1
fi

# Eleven documents in a deep folder, one name that does not exist.
DOCS="$OUT/documents/a rather long folder name/with another level/and a third one"
mkdir -p "$DOCS"
files=()
for i in $(seq 1 11); do
  f="$DOCS/chapter $i of the long story.txt"
  printf 'Chapter %s\n' "$i" >"$f"
  files+=("$f")
done
export TOLVAN_INI="$OUT/Tolvan.ini" TOLVAN_NO_SPLASH_PAUSE=1
# A placement saved on a larger screen: the window must still be on this one.
printf '[Tolvan]\r\nTimes=5\r\nFontDef=TSCu_Paranar\r\nNormPos(1280x800)=3000,100,3800,700\r\n' >"$TOLVAN_INI"

"$BIN" "${files[@]}" "$OUT/missing.txt" >"$OUT/tolvan.log" 2>&1 &
PID=$!
sleep 4
# The frame: the largest window of the program (Qt keeps a 1x1 leader too).
frame_window() {
  for w in $(xdotool search --onlyvisible --pid $PID --name 'Tolvan'); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    echo "$((WIDTH * HEIGHT)) $w"
  done | sort -n | tail -1 | cut -d' ' -f2
}
FRAME=$(frame_window)
shot 01-error-box
# The error box for the missing file must be the top window and have the keyboard.
FOCUS=$(xdotool getwindowfocus)
check "error box has the keyboard" [ "$FOCUS" != "$FRAME" -a "$(xdotool getwindowname "$FOCUS")" = Tolvan ]
if [ -z "$WM" ]; then
  # Without a window manager the root's children are the windows (xwininfo lists the top one first).
  OURS=" $(xdotool search --onlyvisible --pid $PID | tr '\n' ' ') "
  TOP=$(xwininfo -root -children | grep -E '^ +0x' | awk '{print $1}' |
        while read -r w; do [[ "$OURS" == *" $((w)) "* ]] && echo "$w"; done | head -1)
  echo "top window $((TOP)), focus $FOCUS"; check "error box on top" [ "$((TOP))" = "$FOCUS" ]
fi
xdotool key Return
sleep 1
eval "$(xdotool getwindowgeometry --shell "$FRAME")"
echo "frame at $X,$Y ${WIDTH}x$HEIGHT"
check "frame on the screen" [ "$X" -ge 0 -a "$Y" -ge 0 -a $((X + WIDTH)) -le 1280 -a $((Y + HEIGHT)) -le 800 ]
TITLE=$(xdotool getwindowname "$FRAME")
echo "title: $TITLE"
check "title names the program once" [ "$(grep -o Tolvan <<<"$TITLE" | wc -l)" = 1 ]
shot 02-eleven-documents

# Keyboard still with the frame after the box: Ctrl+N makes a document.
xdotool key ctrl+n
sleep 1
shot 03-after-ctrl-n

# Tile and cascade: captions show the start and the end of the path.
xdotool key alt+w
sleep 0.5
xdotool key t
sleep 1
shot 04-tiled
xdotool key alt+w
sleep 0.5
xdotool key c
sleep 1
shot 05-cascaded

# ReOpen submenu.
xdotool key alt+f
sleep 0.5
xdotool key r
sleep 1
shot 06-reopen
xdotool key Escape Escape Escape
sleep 0.5

# Open dialog's file types.
xdotool key ctrl+o
sleep 2
shot 07-open-dialog
xdotool key Escape
sleep 1

# About box closed by a click: keys must reach the document afterwards.
xdotool key alt+h
sleep 0.5
xdotool key Up Return
sleep 1
shot 08-about
ABOUT=$(xdotool getwindowfocus)
check "about box has the keyboard" [ "$ABOUT" != "$FRAME" ]
eval "$(xdotool getwindowgeometry --shell "$ABOUT")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
sleep 1
FOCUS=$(xdotool getwindowfocus)
check "keyboard back with the frame after the about box" [ "$FOCUS" = "$FRAME" ]
xdotool key ctrl+t   # Tamil mode off in this window, then plain letters
xdotool type --delay 50 'typed after about'
sleep 1
shot 09-typed-after-about

# Caps Lock on, then off: the panel follows without another key.
xdotool key Caps_Lock
sleep 1
shot 10-caps-on
xdotool key Caps_Lock
sleep 1
shot 11-caps-off

# Leave without saving the typed text: Exit, Cancel keeps every window.
xdotool key alt+f
sleep 0.5
xdotool key x
sleep 1
shot 12-save-question
xdotool key Escape
sleep 1
check "cancel keeps the program" kill -0 $PID
shot 13-after-cancel

# Exit again, No this time: the program ends, and the placement it was given
# stays in the file as it was, since nobody moved the window.
xdotool key alt+f
sleep 0.5
xdotool key x
sleep 1
xdotool key alt+n
for _ in 1 2 3 4 5; do kill -0 $PID 2>/dev/null || break; sleep 1; done
check "exit after No" sh -c "! kill -0 $PID 2>/dev/null"
check "placement kept" grep -q 'NormPos(1280x800)=3000,100,3800,700' "$TOLVAN_INI"
kill $PID 2>/dev/null
wait $PID 2>/dev/null
[ -n "${WMPID:-}" ] && kill $WMPID 2>/dev/null
echo "$fails failed; screenshots in $OUT"
exit $fails
