#!/bin/sh
# Starts the real program with no alias registered: start-up must stop with
# the "Application Error" box, never show the main window, and end with exit
# code 1 once the box is answered. Runs on a virtual X server.
#   fatal_startup.sh /path/to/velunor
set -u
program=$1
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME
unset QT_QPA_PLATFORM

exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" sh -c '
  program=$1
  "$program" &
  pid=$!
  box=""
  for i in $(seq 1 150); do
    box=$(xdotool search --name "^Application Error\$" 2>/dev/null | head -n 1)
    [ -n "$box" ] && break
    sleep 0.1
  done
  if [ -z "$box" ]; then
    echo "FAIL: no Application Error box"; kill $pid; exit 2
  fi
  title=$(xdotool getwindowname "$box")
  if [ "$title" != "Application Error" ]; then
    echo "FAIL: the box is titled \"$title\""; kill $pid; exit 5
  fi
  if xdotool search --onlyvisible --name "Relatório Velunor" >/dev/null 2>&1; then
    echo "FAIL: the main window was shown"; kill $pid; exit 3
  fi
  xdotool windowfocus --sync "$box" key Return
  wait $pid
  code=$?
  if [ "$code" -ne 1 ]; then
    echo "FAIL: exit code $code, expected 1"; exit 4
  fi
  echo "PASS: Application Error box, main window never shown, exit code 1"
' sh "$program"
