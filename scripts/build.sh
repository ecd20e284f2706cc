#!/usr/bin/env bash
# Sets up what is missing, then configures and builds into $KELVARA_BUILD_DIR
# (default: build/). Extra arguments go to the CMake configure step.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/setup.sh"

venv="$root/.venv"
build="${KELVARA_BUILD_DIR:-$root/build}"
"$venv/bin/cmake" -S "$root" -B "$build" -G Ninja \
    -DCMAKE_MAKE_PROGRAM="$venv/bin/ninja" \
    -DPython_EXECUTABLE="$venv/bin/python" \
    -Dpybind11_DIR="$("$venv/bin/python" -m pybind11 --cmakedir)" \
    "$@" >/dev/null
"$venv/bin/cmake" --build "$build" --parallel
