#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: the native Qt Test
# suites through CTest, each fuzzer for a short while, then the Python suites
# through pytest inside the host stand-in. The native and Python suites run on
# xcb under a private Xvfb and then on the platform that QT_QPA_PLATFORM names
# (offscreen when unset). Arguments go to pytest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${KELVARA_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh"
source "$root/scripts/platforms.sh"

status=0
on_both_platforms "$root/.venv/bin/ctest" --test-dir "$build" --output-on-failure || status=$?
bash "$root/scripts/fuzz.sh" || status=$?
cd "$root"
on_both_platforms "$build/host/kelvara-host" -m pytest tests/python --hypothesis-profile=reproducible "$@" \
    || status=$?
exit $status
