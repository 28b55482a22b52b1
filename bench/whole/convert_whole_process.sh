#!/bin/sh
# Whole-process CPU time and peak memory of tolvan-cli's converters on a
# large text, each beside its yardstick in the same run:
#   - the keyboard converters and font-map apply beside map_loop, a C loop
#     that reads the same file in the same 64 KiB pieces, maps every byte
#     through a table and writes it: run in turn (ours, the loop, ours, ...)
#     after a warm-up run of each, the median CPU of each and the median of
#     the pair-by-pair ratios, so that a shared machine's drift during the
#     call cancels; peak memory from one more run under /usr/bin/time;
#   - TSCII <-> Unicode beside glibc's iconv(1) on the same file, best of RUNS.
# Output goes to a pipe (cat > /dev/null) for every command alike; CPU is
# user + system time of the command alone, not of cat.
#
#   bench/whole/convert_whole_process.sh [build folder, default build] [MiB, default 128]
# RUNS sets the pairs (default 7); KEYBOARD_ONLY=1 stops after the keyboard rows.
set -eu
BUILD=${1:-build}
MIB=${2:-128}
RUNS=${RUNS:-7}
CLI=$BUILD/bin/tolvan-cli
LOOP=$BUILD/bench/map_loop
TEXT=$BUILD/bench/convert_text
DIR=$(mktemp -d "${TMPDIR:-/tmp}/tolvan-convert-XXXXXX")
trap 'rm -rf "$DIR"' EXIT INT TERM

for kind in roman tscii mylai anjal fontmap; do "$TEXT" "$kind" "$MIB" > "$DIR/$kind"; done
"$CLI" convert --from tscii --to unicode "$DIR/tscii" > "$DIR/unicode" 2> /dev/null

# Best CPU seconds (user + system) and the largest peak KiB of one command
# (a string split into words) over RUNS runs, its output through a pipe.
measure() {
  best=; peak=0
  for i in $(seq "$RUNS"); do
    sh -c "/usr/bin/time -f '%U %S %M' -o '$DIR/time' $1 2> /dev/null | cat > /dev/null"
    cpu=$(awk '{printf "%.3f", $1 + $2}' "$DIR/time")
    kib=$(awk '{print $3}' "$DIR/time")
    best=$(echo "$cpu ${best:-$cpu}" | awk '{print ($1 < $2) ? $1 : $2}')
    [ "$kib" -gt "$peak" ] && peak=$kib
  done
  echo "$best $peak"
}

# Paired: "our-median loop-median ratio-median" CPU seconds over RUNS pairs.
paired() {
  python3 - "$1" "$2" "$RUNS" <<'PY'
import os, shlex, statistics, subprocess, sys
def cpu(cmd):
    sink = subprocess.Popen(["cat"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL)
    p = subprocess.Popen(shlex.split(cmd), stdin=subprocess.DEVNULL, stdout=sink.stdin, stderr=subprocess.DEVNULL)
    sink.stdin.close()
    _, _, ru = os.wait4(p.pid, 0)
    sink.wait()
    return ru.ru_utime + ru.ru_stime
ours, ref, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
cpu(ours); cpu(ref)
a, b, r = [], [], []
for _ in range(runs):
    x, y = cpu(ours), cpu(ref)
    a.append(x); b.append(y); r.append(x / y if y else 0)
print("%.4f %.4f %.3f %.3f %.3f" % (statistics.median(a), statistics.median(b), statistics.median(r), min(r), max(r)))
PY
}

pairRow() {  # name, our command, the loop's command
  set -- "$1" "$2" "$3" "$(paired "$2" "$3")"
  sh -c "/usr/bin/time -f '%M' -o '$DIR/time' $2 2> /dev/null | cat > /dev/null"
  echo "$1 $4 $(cat "$DIR/time")" |
    awk '{printf "%-16s %8.4f s %8.4f s %6.2f x (%.2f-%.2f) %6d KiB\n", $1, $2, $3, $4, $5, $6, $7}'
}

row() {  # name, our command, the yardstick's command
  ours=$(measure "$2")
  ref=$(measure "$3")
  echo "$1 ${ours% *} ${ref% *} ${ours#* }" |
    awk '{printf "%-16s %8.3f s %8.3f s %7s x %8d KiB\n", $1, $2, $3, ($3 > 0 ? sprintf("%.2f", $2 / $3) : "-"), $4}'
}

echo "load: $(uptime)"
echo "keyboard converters on $MIB MiB beside map_loop, $RUNS pairs (CPU = user + system, medians;"
echo "ratio = median of ours / loop pair by pair, smallest-largest in brackets; peak of ours)"
echo "                     ours        loop    ratio               peak"
pairRow "roman->tscii" "$CLI convert --from roman --to tscii $DIR/roman" "$LOOP $DIR/roman"
pairRow "anjal->tscii" "$CLI convert --from anjal --to tscii $DIR/anjal" "$LOOP $DIR/anjal"
pairRow "mylai->tscii" "$CLI convert --from mylai --to tscii $DIR/mylai" "$LOOP $DIR/mylai"
pairRow "fontmap" "$CLI fontmap apply $DIR/fontmap $DIR/tscii" "$LOOP $DIR/tscii"
pairRow "tscii->tab" "$CLI convert --from tscii --to tab $DIR/tscii" "$LOOP $DIR/tscii"
[ -n "${KEYBOARD_ONLY:-}" ] && { echo "load: $(uptime)"; exit 0; }
echo "Unicode rows, best of $RUNS (1/ratio is how many times iconv's speed)"
echo "                     ours    yardstick   ratio     peak"
row "tscii->unicode" "$CLI convert --from tscii --to unicode $DIR/tscii" "iconv -f TSCII -t UTF-8 $DIR/tscii"
row "unicode->tscii" "$CLI convert --from unicode --to tscii $DIR/unicode" "iconv -f UTF-8 -t TSCII $DIR/unicode"
echo "load: $(uptime)"
