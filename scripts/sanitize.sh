#!/usr/bin/env bash
# Sets up what is missing, builds everything with AddressSanitizer,
# LeakSanitizer and UndefinedBehaviorSanitizer into build-asan/, and runs
# every test under them: the native Qt Test suites through CTest, then the
# Python suites through pytest inside the instrumented host stand-in, each on
# xcb under a private Xvfb and on QT_QPA_PLATFORM (offscreen when unset).
# Arguments go to pytest.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-asan"
KELVARA_BUILD_DIR="$build" bash "$root/scripts/build.sh" -DKELVARA_SANITIZE=ON

source "$root/scripts/platforms.sh"

export ASAN_OPTIONS="detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

status=0
on_both_platforms "$root/.venv/bin/ctest" --test-dir "$build" --output-on-failure || status=$?
# Some tests start a plain python3.13 that imports the instrumented module:
# the ASan runtime must come first in such a process, and libstdc++ must be
# loaded before ASan starts, or it cannot intercept __cxa_throw. Then
# python_arenas.so, so that LeakSanitizer scans Python's object arenas.
python_include=$("$root/.venv/bin/python" -c 'import sysconfig; print(sysconfig.get_path("include"))')
gcc -shared -fPIC -O2 -Wall -Wextra -Werror -I"$python_include" \
    "$root/tests/sanitizers/python_arenas.c" -o "$build/python_arenas.so"
preload="$(gcc -print-file-name=libasan.so) $(gcc -print-file-name=libstdc++.so.6) $build/python_arenas.so"
# Resident memory says nothing about leaks here, as freed blocks wait in ASan's
# quarantine; LeakSanitizer checks every process of this run instead.
cd "$root"
on_both_platforms env LD_PRELOAD="$preload" "$build/host/kelvara-host" -m pytest tests/python \
    --hypothesis-profile=reproducible \
    --deselect tests/python/test_lifetimes.py::test_memory_stays_flat_over_a_thousand_dialogs "$@" || status=$?

# A Python object that native code leaks must still be reported: here a
# string of 1,000 characters whose only reference is dropped.
leak_report=$(LD_PRELOAD="$preload" "$build/host/kelvara-host" -c 'import ctypes
make = ctypes.pythonapi.PyUnicode_FromString
make.restype = ctypes.c_void_p
make(b"x" * 1000)' 2>&1 || true)
if ! grep -q 'ERROR: LeakSanitizer: detected memory leaks' <<<"$leak_report"; then
    echo "sanitize: a string leaked on purpose went unreported" >&2
    status=1
fi
exit $status
