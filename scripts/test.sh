#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: the native Qt Test
# suites through CTest, each fuzzer for a short while, then the Python suites
# through pytest inside the host stand-in. Arguments go to pytest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${KELVARA_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh"

export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d)}"

status=0
(cd "$build" && "$root/.venv/bin/ctest" --output-on-failure) || status=$?
bash "$root/scripts/fuzz.sh" || status=$?
(cd "$root" && "$build/host/kelvara-host" -m pytest tests/python "$@") || status=$?
exit $status
