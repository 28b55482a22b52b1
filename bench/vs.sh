#!/bin/sh
# Times two whole processes in turn (A B A B ...): the median of RUNS
# (default 5, after one warm-up run each) elapsed and CPU (user + system)
# seconds of each, and the median of the pair-by-pair ratios A/B.
#
#   bench/vs.sh LABEL 'COMMAND A' 'COMMAND B'
#
# Each command is split into words as the shell would (no pipes or redirections:
# write sh -c '...' for those) and started with empty input, its output thrown away; pairing keeps
# the ratio meaningful when a shared machine's speed drifts during the call.
set -eu
RUNS=${RUNS:-5}
T=$(mktemp -d "${TMPDIR:-/tmp}/tolvan-vs-XXXXXX")
trap 'rm -rf "$T"' EXIT INT TERM

# "elapsed cpu" seconds of one run: the child's own accounting to the
# microsecond (/usr/bin/time's hundredths are too coarse for short runs). The
# elapsed time includes starting the child from python, a few milliseconds.
measure() {
  python3 -c 'import os, shlex, subprocess, sys, time
args = shlex.split(sys.argv[1])
t = time.monotonic()
p = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
_, _, ru = os.wait4(p.pid, 0)
print("%.4f %.4f" % (time.monotonic() - t, ru.ru_utime + ru.ru_stime))' "$1"
}
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

measure "$2" > /dev/null; measure "$3" > /dev/null
for i in $(seq "$RUNS"); do
  a=$(measure "$2"); b=$(measure "$3")
  echo "$a" >> "$T/a"; echo "$b" >> "$T/b"
  echo "$a $b" | awk '{printf "%.3f %.3f\n", ($3 > 0) ? $1 / $3 : 0, ($4 > 0) ? $2 / $4 : 0}' >> "$T/r"
done
printf '%-26s A %7s s %7s s cpu | B %7s s %7s s cpu | A/B %6s %6s cpu\n' "$1" \
  "$(cut -d' ' -f1 "$T/a" | median)" "$(cut -d' ' -f2 "$T/a" | median)" \
  "$(cut -d' ' -f1 "$T/b" | median)" "$(cut -d' ' -f2 "$T/b" | median)" \
  "$(cut -d' ' -f1 "$T/r" | median)" "$(cut -d' ' -f2 "$T/r" | median)"
