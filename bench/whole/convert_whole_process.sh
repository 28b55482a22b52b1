#!/bin/sh
# Whole-process CPU time and peak memory of tolvan-cli's converters on a
# large text, each beside its yardstick in the same run, best of RUNS:
#   - the keyboard converters and font-map apply beside map_loop, a C loop
#     that reads the same file in the same 64 KiB pieces, maps every byte
#     through a table and writes it;
#   - TSCII <-> Unicode beside glibc's iconv(1) on the same file.
# Output goes to a pipe (cat > /dev/null) for every command alike.
# /usr/bin/time counts hundredths of a second: the keyboard converters take
# about a tenth of a second on 128 MiB, so their ratios want 512 MiB or more.
#
#   bench/whole/convert_whole_process.sh [build folder, default build] [MiB, default 128]
set -eu
BUILD=${1:-build}
MIB=${2:-128}
RUNS=${RUNS:-5}
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

row() {  # name, our command, the yardstick's command
  ours=$(measure "$2")
  ref=$(measure "$3")
  echo "$1 ${ours% *} ${ref% *} ${ours#* }" |
    awk '{printf "%-16s %8.3f s %8.3f s %7s x %8d KiB\n", $1, $2, $3, ($3 > 0 ? sprintf("%.2f", $2 / $3) : "-"), $4}'
}

echo "whole processes on $MIB MiB, best of $RUNS (CPU = user + system; peak of ours;"
echo "ratio = ours / yardstick: for the Unicode rows 1/ratio is how many times iconv's speed)"
echo "                     ours    yardstick   ratio     peak"
row "roman->tscii" "$CLI convert --from roman --to tscii $DIR/roman" "$LOOP $DIR/roman"
row "anjal->tscii" "$CLI convert --from anjal --to tscii $DIR/anjal" "$LOOP $DIR/anjal"
row "mylai->tscii" "$CLI convert --from mylai --to tscii $DIR/mylai" "$LOOP $DIR/mylai"
row "fontmap" "$CLI fontmap apply $DIR/fontmap $DIR/tscii" "$LOOP $DIR/tscii"
row "tscii->tab" "$CLI convert --from tscii --to tab $DIR/tscii" "$LOOP $DIR/tscii"
row "tscii->unicode" "$CLI convert --from tscii --to unicode $DIR/tscii" "iconv -f TSCII -t UTF-8 $DIR/tscii"
row "unicode->tscii" "$CLI convert --from unicode --to tscii $DIR/unicode" "iconv -f UTF-8 -t TSCII $DIR/unicode"
