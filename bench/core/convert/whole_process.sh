#!/bin/sh
# Whole-process timing of `tolvan-cli convert` on large files, against the
# same file read by `cat` (the cost of the I/O alone) and converted by glibc
# iconv, each pair in the same run, the two commands taking turns.
#
#   bench/core/convert/whole_process.sh [path/to/tolvan-cli] [size in MiB, default 128]
#
# The Roman text is Tamil words in the Roman scheme; the TSCII and UTF-8
# files are made from it by tolvan-cli itself. Every command reads its file
# from the page cache and writes to /dev/null. Prints the median of RUNS
# (default 5) elapsed and CPU (user + system) seconds, and the median of the
# pair-by-pair ratios (bench/vs.sh).
set -eu
CLI=${1:-build/bin/tolvan-cli}
MIB=${2:-128}
RUNS=${RUNS:-5}
DIR=$(mktemp -d "${TMPDIR:-/tmp}/tolvan-convert-XXXXXX")
trap 'rm -rf "$DIR"' EXIT INT TERM

awk -v bytes=$((MIB * 1048576)) 'BEGIN {
  n = split("vaNakkam tamiz moziyin inimai kAlai mAlai nanRi ulakam pADal paLLi nAn2 nIngkaL " \
            "avarkaL ceyti ezuttu kaNini cennai maturai kOvil tiruvaLLuvar kuRaL aRam poruL " \
            "inpam vAzkai kalvi vantAn2 uyir kavitai iruntu oru inta ellAm SRI jnAnam kSEttiram " \
            "hari kUTTam peNkaL veLiyE kaiyil mauna kaTitam neRi ITupATu ovvoru Oyvu aiyam", w, " ")
  srand(1); size = 0; line = ""
  while (size < bytes) {
    line = line w[int(rand() * n) + 1] " "
    if (length(line) > 70) { print line; size += length(line) + 1; line = "" }
  } }' > "$DIR/roman"
"$CLI" convert --from roman --to tscii "$DIR/roman" > "$DIR/tscii" 2>/dev/null
"$CLI" convert --from tscii --to unicode "$DIR/tscii" > "$DIR/utf8" 2>/dev/null

VS=$(dirname "$0")/../../vs.sh
pair() { RUNS=$RUNS sh "$VS" "$@"; }

echo "${MIB} MiB of Roman text ($(wc -c < "$DIR/tscii") bytes as TSCII, $(wc -c < "$DIR/utf8") as UTF-8); A = tolvan-cli"
pair "roman->tscii vs cat" "$CLI convert --from roman --to tscii $DIR/roman" "cat $DIR/roman"
pair "tscii->tab vs cat" "$CLI convert --from tscii --to tab $DIR/tscii" "cat $DIR/tscii"
pair "tscii->unicode vs cat" "$CLI convert --from tscii --to unicode $DIR/tscii" "cat $DIR/tscii"
pair "tscii->unicode vs iconv" "$CLI convert --from tscii --to unicode $DIR/tscii" "iconv -f TSCII -t UTF-8 $DIR/tscii"
pair "unicode->tscii vs cat" "$CLI convert --from unicode --to tscii $DIR/utf8" "cat $DIR/utf8"
pair "unicode->tscii vs iconv" "$CLI convert --from unicode --to tscii $DIR/utf8" "iconv -f UTF-8 -t TSCII $DIR/utf8"
