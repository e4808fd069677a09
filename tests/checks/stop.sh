#!/bin/sh
# Stops a run of the Windows quillfort-sim under Wine with Ctrl-C (SIGINT, which
# Wine hands the program as a console's Ctrl-C) in the middle of a scenario whose
# last expectation fails: the run must end with a status that is no pass
# (STATUS_CONTROL_C_EXIT, which Wine shows as 58), print no summary, and leave no
# temporary folder. Run alone: the prefix's temporary folder is shared.
# Usage: stop.sh WORK PROGRAM WINEPREFIX
work=$1 program=$2
export WINEPREFIX="$3" WINEDEBUG=-all LC_ALL=C.UTF-8
rm -rf "$work" && mkdir -p "$work" || exit 1
printf 'load\npause 30\nexpect cvar posx 1\n' >"$work/case.qsim"
temporary() { ls -d "$WINEPREFIX"/drive_c/users/*/Temp/quillfort-* 2>/dev/null | sort; }
before=$(temporary)
/usr/lib/wine/wine64 "$program" "$work/case.qsim" >"$work/output" 2>&1 &
run=$!
made=0
for i in $(seq 200); do
  [ "$(temporary)" != "$before" ] && made=1 && break
  sleep 0.05
done
if [ $made = 0 ]; then
  kill -KILL $run
  echo "stop: the run made no temporary data folder in 10 s"
  exit 1
fi
sleep 0.5
kill -INT $run
wait $run
status=$?
cat "$work/output"
if [ $status -ne 58 ]; then
  echo "stop: the stopped run ended with status $status, not 58 (STATUS_CONTROL_C_EXIT)"
  exit 1
fi
if grep -q "statements," "$work/output"; then
  echo "stop: the stopped run printed a summary"
  exit 1
fi
if [ "$(temporary)" != "$before" ]; then
  echo "stop: the stopped run left a temporary folder: $(temporary)"
  exit 1
fi
echo "stop: stopped with status 58, no summary, no folder left"
