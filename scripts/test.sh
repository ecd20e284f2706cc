#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test: the native Qt Test
# suites through CTest, each fuzzer for a short while, then the Python suites
# through pytest inside the host stand-in. The native and Python suites run on
# xcb under a private Xvfb and then on the platform that QT_QPA_PLATFORM names
# (offscreen when unset). Last, a short pass meets the dialogs from outside the
# process: openbox, real keys through the X server and an AT-SPI reader, then
# where Weston shows each dialog. Arguments
# go to pytest.
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

# The outside clients; scripts/setup.sh installs them.
missing=()
for command in openbox xdotool xprop xwininfo dbus-run-session /usr/libexec/at-spi-bus-launcher; do
    command -v "$command" >/dev/null || missing+=("$command")
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=("pyatspi of /usr/bin/python3")
if [ ${#missing[@]} -gt 0 ]; then
    echo "== outside clients: SKIPPED, missing ${missing[*]} (bash scripts/setup.sh installs them)"
else
    echo "== outside clients: openbox, xdotool and AT-SPI on private Xvfbs, then Weston"
    dbus-run-session -- /usr/bin/python3 tests/outside/check_outside.py "$build/host/kelvara-host" || status=$?
fi
exit $status
