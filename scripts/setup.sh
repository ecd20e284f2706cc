#!/usr/bin/env bash
# Installs what the project needs on a fresh Debian 13 or sid machine, skipping
# what is already there: Qt 6 development packages, an X server for the tests
# on xcb, the clients of the tests from outside the process (a window manager,
# X key input, an AT-SPI reader, a Wayland compositor), a CPython 3.13 with its
# headers, and the virtual environment .venv with the Python build and test
# tools. Debian 12 has no python3.13: there a CPython 3.13 with headers must
# be installed first (pyenv's), or this says so and stops.
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
    weston qt6-wayland                          # a Wayland compositor, and Qt's wayland platform
)
if [ "${1:-}" = --fuzz ]; then
    apt_packages+=(clang libclang-rt-dev)       # scripts/fuzz.sh: clang with libFuzzer
    apt_packages+=(llvm)                        # /usr/bin/llvm-symbolizer, of clang's version: names and lines in traces
fi

missing=()
for pkg in "${apt_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing+=("$pkg")
done

# A CPython 3.13 with its headers and venv support: pyenv's newest, else the
# python3.13 on PATH (Debian 13's with python3.13-dev and python3.13-venv).
find_python313() {
    local pyenv_root candidate
    pyenv_root=$(pyenv root 2>/dev/null || echo "${PYENV_ROOT:-${HOME:-}/.pyenv}")
    for candidate in $(ls -d "$pyenv_root"/versions/3.13.*/bin/python3.13 2>/dev/null | sort -V -r) \
                     $(command -v python3.13); do
        if "$candidate" -c 'import ensurepip, os, sysconfig
os.stat(os.path.join(sysconfig.get_path("include"), "Python.h"))' 2>/dev/null; then
            echo "$candidate"
            return
        fi
    done
}

python=$(find_python313)
if [ -z "$python" ]; then
    missing+=(python3.13-dev python3.13-venv)
fi

if [ ${#missing[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # Debian 12 has no python3.13: say so before apt would fail on it.
    if [ -z "$python" ] && ! grep -q 'Candidate: [^(]' <<<"$(apt-cache policy python3.13-dev)"; then
        echo "setup: no CPython 3.13 with headers here, and apt has none (Debian 12 has no python3.13):" \
             "install one, e.g. 'pyenv install 3.13' (see README), then run this again" >&2
        exit 1
    fi
    echo "setup: installing Debian packages: ${missing[*]}"
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

[ -n "$python" ] || python=$(find_python313)
if [ -z "$python" ]; then
    echo "setup: python3.13-dev and python3.13-venv are installed, yet no python3.13 with headers was found" >&2
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
