#!/usr/bin/env bash
# Sets up what is missing, builds, and runs the demo under the host stand-in.
# With no screen it uses Qt's offscreen platform, answers the dialogs itself
# and saves their pictures in the folder given as argument (default: demo-output).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${KELVARA_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh"

if [ -z "${QT_QPA_PLATFORM:-}" ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=offscreen
fi
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=$(mktemp -d)
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
"$build/host/kelvara-host" "$root/examples/demo.py" "${1:-$root/demo-output}"
