#!/usr/bin/env bash
# Sets Quillon Print up and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
mkdir -p "$HOME/DOSPRN"
if [ -x build/quillon-print ]; then
  exec build/quillon-print
fi
# Until the tray program is there, the watcher prints what lands in the spool folders.
echo "Quillon Print: watching the folder patterns (build/quillon-render --settings lists them); Ctrl+C ends." >&2
exec build/quillon-render --watch
