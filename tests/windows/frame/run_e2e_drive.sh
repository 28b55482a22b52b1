#!/bin/bash
# Runs e2e_drive.sh on a private Xvfb display with its own settings file and
# output folder; exit 77 (skipped) when the X tools are not installed.
set -u
build=$1
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d /tmp/tolvan-e2e.XXXXXX)
export TOLVAN_INI="$work/Tolvan.ini" OUT="$work/out" TOLVAN_NO_SPLASH_PAUSE=1
xvfb-run -a -s "-screen 0 1280x800x24" bash "$(dirname "$0")/e2e_drive.sh" "$build"
status=$?
echo "screenshots: $OUT"
exit $status
