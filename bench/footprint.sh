#!/usr/bin/env bash
# The program's cost at rest beside nm-tray, on a display and NetworkManager
# mock of its own. Usage: bench/footprint.sh [build/brantle-vantrel] [footprint.py options]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
binary="${1:-$here/../build/brantle-vantrel}"
shift || true
exec /usr/bin/python3 "$here/footprint.py" "$binary" "$@"
