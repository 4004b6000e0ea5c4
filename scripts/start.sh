#!/usr/bin/env bash
# Sets Quillon Print up and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [ -x build/quillon-print ]; then
  exec build/quillon-print
fi
echo "The tray program is not built yet; the command-line renderer is ready:" >&2
exec build/quillon-render --help
