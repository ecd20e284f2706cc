#!/usr/bin/env bash
# Installs what the project needs on a fresh Debian 12/13 machine, skipping what
# is already there: Qt 6 development packages, an X server for the tests on
# xcb, the clients of the tests from outside the process (a window manager, X
# key input, an AT-SPI reader), a CPython 3.13 with its headers, and the
# virtual environment .venv with the Python build and test tools.
# With --fuzz also clang with libFuzzer, and llvm-symbolizer for the stack
# traces of its findings.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
venv="$root/.venv"

apt_packages=(
    qt6-base-dev qt6-base-dev-tools libgl-dev   # Qt Core, Gui, Widgets, Test; moc and uic
    qt6-base-private-dev                        # Qt's platform interface, for input queued as a window system does
    g++ make binutils                           # compiler, and nm for the export check
    fontconfig fonts-dejavu-core                # fonts for the offscreen platform
    xvfb qt6-qpa-plugins                        # an X server, and Qt's platform plugins (xcb)
    openbox xdotool x11-utils                   # tests/outside: a window manager, real keys, xprop for frames,
    at-spi2-core python3-pyatspi dbus           # and what a screen reader reads, in a D-Bus session
)
if [ "${1:-}" = --fuzz ]; then
    apt_packages+=(clang libclang-rt-dev)       # scripts/fuzz.sh: clang with libFuzzer
    apt_packages+=(llvm)                        # /usr/bin/llvm-symbolizer, of clang's version: names and lines in traces
fi

missing=()
for pkg in "${apt_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing+=("$pkg")
done

find_python313() {
    local pyenv_root candidate
    if command -v pyenv >/dev/null 2>&1; then
        pyenv_root=$(pyenv root)
        for candidate in $(ls -d "$pyenv_root"/versions/3.13.* 2>/dev/null | sort -V -r); do
            if [ -x "$candidate/bin/python3.13" ] && [ -f "$candidate/include/python3.13/Python.h" ]; then
                echo "$candidate/bin/python3.13"
                return
            fi
        done
    fi
    if [ -x /usr/bin/python3.13 ]; then
        echo /usr/bin/python3.13
    fi
}

python=$(find_python313)
if [ -z "$python" ] || [ "$python" = /usr/bin/python3.13 ]; then
    # No pyenv build of 3.13: use Debian's, with its headers and venv support.
    for pkg in python3.13-dev python3.13-venv; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing+=("$pkg")
    done
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "setup: installing Debian packages: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

[ -n "$python" ] || python=$(find_python313)
if [ -z "$python" ]; then
    echo "setup: no CPython 3.13 found (neither pyenv's nor Debian's python3.13)" >&2
    exit 1
fi

if [ ! -x "$venv/bin/python" ] || ! "$venv/bin/python" -c 'import sys; sys.exit(sys.version_info[:2] != (3, 13))'; then
    echo "setup: creating $venv with $python"
    rm -rf "$venv"
    "$python" -m venv "$venv"
fi

stamp="$venv/.requirements.sha256"
wanted=$(sha256sum "$root/requirements-dev.txt" | cut -d' ' -f1)
if [ ! -f "$stamp" ] || [ "$(cat "$stamp")" != "$wanted" ]; then
    echo "setup: installing Python packages into $venv"
    "$venv/bin/python" -m pip install -q --disable-pip-version-check -r "$root/requirements-dev.txt"
    echo "$wanted" > "$stamp"
fi
