#!/bin/sh
# Whole-process timing and peak memory of `tolvan-cli encrypt` and
# `tolvan-cli crc` on a large file, against `openssl enc -bf-cbc` on the same
# file in the same run (best of RUNS for each).
#
#   bench/core/crypto/whole_process.sh [path/to/tolvan-cli] [size in MiB, default 1024]
#
# The file is made in a fresh folder under ${TMPDIR:-/tmp} and deleted at the
# end. Both programs read it from the page cache; ours also fsyncs its output
# before renaming it into place, openssl does not.
set -eu
CLI=${1:-build/bin/tolvan-cli}
MIB=${2:-1024}
RUNS=${RUNS:-3}
CLI=$(cd "$(dirname "$CLI")" && pwd)/$(basename "$CLI")
DIR=$(mktemp -d "${TMPDIR:-/tmp}/tolvan-whole-XXXXXX")
trap 'rm -rf "$DIR"' EXIT INT TERM

echo "making a ${MIB} MiB file in $DIR"
openssl rand -out "$DIR/plain" $((MIB * 1024 * 1024))
printf 'benchmark password\n' > "$DIR/pw"
# OpenSSL's Blowfish lives in its legacy provider since 3.0.
OPENSSL_BF="openssl enc -bf-cbc -provider legacy -provider default -K 00112233445566778899aabbccddeeff -iv 0011223344556677"
cat "$DIR/plain" > /dev/null  # into the page cache

# Prints "elapsed-seconds peak-KiB cpu-seconds" for one run of the command
# (cpu = user + system: steadier than elapsed time on a busy machine).
measure() {
  /usr/bin/time -f '%e %M %U %S' -o "$DIR/time" "$@" > /dev/null
  awk '{printf "%s %s %.2f\n", $1, $2, $3 + $4}' "$DIR/time"
}
min() { echo "$1 ${2:-$1}" | awk '{print ($1 < $2) ? $1 : $2}'; }

best_ours=; best_ossl=; best_crc=; cpu_ours=; cpu_ossl=; cpu_crc=; mem_ours=0; mem_crc=0; mem_ossl=0
for i in $(seq "$RUNS"); do
  cp --reflink=auto "$DIR/plain" "$DIR/f"
  sync
  set -- $(measure $OPENSSL_BF -in "$DIR/f" -out "$DIR/f.openssl")
  best_ossl=$(min "$1" "$best_ossl"); cpu_ossl=$(min "$3" "$cpu_ossl"); mem_ossl=$2
  rm -f "$DIR/f.openssl"
  sync
  set -- $(measure "$CLI" encrypt --password-file "$DIR/pw" "$DIR/f")
  best_ours=$(min "$1" "$best_ours"); cpu_ours=$(min "$3" "$cpu_ours")
  [ "$2" -gt "$mem_ours" ] && mem_ours=$2
  set -- $(measure "$CLI" crc "$DIR/f")
  best_crc=$(min "$1" "$best_crc"); cpu_crc=$(min "$3" "$cpu_crc")
  [ "$2" -gt "$mem_crc" ] && mem_crc=$2
  rm -f "$DIR/f" "$DIR/f.org"
done

echo "                      elapsed   cpu      peak memory"
echo "openssl enc -bf-cbc:  ${best_ossl} s  ${cpu_ossl} s  ${mem_ossl} KiB"
echo "tolvan-cli encrypt:   ${best_ours} s  ${cpu_ours} s  ${mem_ours} KiB"
echo "tolvan-cli crc:       ${best_crc} s  ${cpu_crc} s  ${mem_crc} KiB"
echo "encrypt / openssl, elapsed: $(echo "$best_ours $best_ossl" | awk '{printf "%.3f", $1 / $2}')"
echo "encrypt / openssl, cpu:     $(echo "$cpu_ours $cpu_ossl" | awk '{printf "%.3f", $1 / $2}')"
