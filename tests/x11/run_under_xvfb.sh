#!/bin/sh
# Runs a test program under its own virtual X server. Exits 77 (CTest: skipped) when there is none.
# -noreset: the server would otherwise reset whenever its last client leaves (between two tests),
# and a test connecting during the reset would fail.
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "xvfb-run is not installed: X11 tests skipped"
  exit 77
fi
exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" "$@"
