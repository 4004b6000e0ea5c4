#!/usr/bin/env bash
# Sets Quillon Print up and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
mkdir -p "$HOME/DOSPRN"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Quillon Print: starting the tray program (its icon's menu opens the settings and ends it)." >&2
  exec build/quillon-print
fi
# No desktop: the headless watcher prints what lands in the spool folders.
echo "Quillon Print: no display (DISPLAY and WAYLAND_DISPLAY are not set), so the headless watcher runs instead of the tray program." >&2
echo "Quillon Print: watching the folder patterns (build/quillon-render --settings lists them); Ctrl+C ends." >&2
exec build/quillon-render --watch
