#!/bin/sh
# The processor time a whole window spends after opening a large file, until
# it is quiet: Tolvan against FeatherPad (a Qt plain-text editor, Debian's
# `featherpad`) on the same file of TSCII paragraphs, in turn (Tolvan,
# FeatherPad, Tolvan, ...), each a fresh process on a screen of its own.
#
#   bench/windows/quiet_after_open.sh BUILD [MiB]      (default 50 MiB, RUNS=3 pairs)
#
# Each run: the program is started with the file named on its command line;
# its user + system time (all threads, from /proc/PID/stat) is read every
# 50 ms; it is quiet once it gains less than 20 ms of CPU in 2 s (a blinking
# caret costs a little). Printed per run: CPU seconds until quiet, seconds from
# the start until quiet; then the medians and the median of the pair-by-pair
# ratios Tolvan/FeatherPad. The processes are killed once quiet. Load (uptime)
# is printed at the start and the end.
set -eu
if [ -z "${QUIET_AFTER_OPEN_INNER:-}" ]; then
  QUIET_AFTER_OPEN_INNER=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
BUILD=$(cd "${1:?usage: $0 BUILD [MiB]}" && pwd)
MIB=${2:-50}
RUNS=${RUNS:-3}
T=$(mktemp -d "${TMPDIR:-/tmp}/tolvan-quiet-XXXXXX")
trap 'rm -rf "$T"' EXIT INT TERM
uptime

# The benchmark's paragraphs: Tamil (TSCII) words, a Latin one among them,
# about 400 bytes a paragraph (as bench/windows/document_bench.cpp makes them).
python3 - "$T/paragraphs.txt" "$MIB" <<'EOF'
import sys
words = [b"\xA7\xB8\xA1", b"\xC5\xBD\xB8\xCD\xB8\xC1", b"\xBE\xC1\xC6\xF5",
         b"\xAB\xC1\xC1\xA1", b"\xC0\xA1\xCE", b"hello", b"\xB8\xC6\xA2"]
size = int(sys.argv[2]) << 20
out, k, in_para = bytearray(), 0, 0
while len(out) < size:
    out += words[k % 7]
    k += 1
    in_para += 8
    if in_para > 400:
        out += b"\n"
        in_para = 0
    else:
        out += b" "
open(sys.argv[1], "wb").write(out[:size])
EOF

# Tolvan with a settings file of its own: no first-start messages, the TSCII
# font as the default.
printf '[Tolvan]\r\nTimes=5\r\nFontDef=TSCu_Paranar\r\n' >"$T/Tolvan.ini"
# FeatherPad with a configuration folder of its own (its defaults).
mkdir -p "$T/config"

# run NAME COMMAND...: prints "cpu elapsed" of one run.
run() {
  python3 - "$@" <<'EOF'
import os, signal, subprocess, sys, time
tick = os.sysconf("SC_CLK_TCK")
start = time.monotonic()
p = subprocess.Popen(sys.argv[2:], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                     stderr=subprocess.DEVNULL)
def cpu():
    with open("/proc/%d/stat" % p.pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / tick  # utime, stime
samples = []  # (seconds since start, cpu seconds), both rising
quiet = None
while time.monotonic() - start < 600 and p.poll() is None:
    t_now, c_now = time.monotonic() - start, cpu()
    samples.append((t_now, c_now))
    # Quiet since the first sample within 20 ms of the CPU time now, once
    # that is 2 s ago.
    t, c = next(s for s in samples if s[1] > c_now - 0.02)
    if t_now - t >= 2.0:
        quiet = (t, c)
        break
    time.sleep(0.05)
p.send_signal(signal.SIGKILL)
p.wait()
if quiet is None:
    print("nan nan")
else:
    print("%.2f %.2f" % (quiet[1], quiet[0]))
EOF
}
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

tolvan() {
  TOLVAN_INI="$T/Tolvan.ini" TOLVAN_NO_SPLASH_PAUSE=1 run tolvan "$BUILD/bin/tolvan" "$T/paragraphs.txt"
}
featherpad() {
  XDG_CONFIG_HOME="$T/config" run featherpad featherpad --standalone "$T/paragraphs.txt"
}

echo "$MIB MiB of TSCII paragraphs; cpu s until quiet, s until quiet"
for i in $(seq "$RUNS"); do
  a=$(tolvan); b=$(featherpad)
  echo "run $i: tolvan $a | featherpad $b"
  echo "$a" >>"$T/a"; echo "$b" >>"$T/b"
  echo "$a $b" | awk '{printf "%.3f %.3f\n", ($3 > 0) ? $1 / $3 : 0, ($4 > 0) ? $2 / $4 : 0}' >>"$T/r"
done
printf 'median: tolvan %s s cpu, %s s | featherpad %s s cpu, %s s | tolvan/featherpad %s cpu, %s elapsed\n' \
  "$(cut -d' ' -f1 "$T/a" | median)" "$(cut -d' ' -f2 "$T/a" | median)" \
  "$(cut -d' ' -f1 "$T/b" | median)" "$(cut -d' ' -f2 "$T/b" | median)" \
  "$(cut -d' ' -f1 "$T/r" | median)" "$(cut -d' ' -f2 "$T/r" | median)"
uptime
