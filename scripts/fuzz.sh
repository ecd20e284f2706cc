#!/usr/bin/env bash
# Sets up what is missing (clang with libFuzzer included), builds the fuzz
# harnesses of tests/fuzz with clang, ASan and UBSan into build-fuzz/, and runs
# each for the given number of seconds (default: 15). Each starts from its
# seeds in tests/fuzz/corpus_<name>/ and from what earlier runs in this build
# dir found. An input that breaks something fails the run and is saved in
# build-fuzz/findings/: as <name>-crash-<hash> when it crashed or broke an
# invariant, <name>-leak-<hash> when it leaked memory, <name>-timeout-<hash>
# when it hung, <name>-oom-<hash> when it ran out of memory.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds="${1:-15}"
bash "$root/scripts/setup.sh" --fuzz

venv="$root/.venv"
build="$root/build-fuzz"
"$venv/bin/cmake" -S "$root" -B "$build" -G Ninja \
    -DCMAKE_MAKE_PROGRAM="$venv/bin/ninja" \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DKELVARA_FUZZ=ON -DBUILD_TESTING=OFF \
    -DPython_EXECUTABLE="$venv/bin/python" \
    -Dpybind11_DIR="$("$venv/bin/python" -m pybind11 --cmakedir)" >/dev/null
"$venv/bin/cmake" --build "$build" --parallel --target fuzz_display fuzz_selection

export QT_QPA_PLATFORM=offscreen
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR=$(mktemp -d)
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
export LSAN_OPTIONS="suppressions=$root/tests/sanitizers/lsan.supp"
mkdir -p "$build/findings"
status=0
for name in display selection; do
    corpus="$build/corpus_$name"
    log="$build/fuzz_$name.log"
    # An input that takes over 25 s counts as a hang, and a finding.
    options=(-max_total_time="$seconds" -timeout=25 -print_final_stats=1 -artifact_prefix="$build/findings/$name-")
    if [ -f "$root/tests/fuzz/fuzz_$name.dict" ]; then
        options+=(-dict="$root/tests/fuzz/fuzz_$name.dict")
    fi
    mkdir -p "$corpus"
    # New inputs go into the first directory, so the seeds stay as they are.
    if "$build/tests/fuzz/fuzz_$name" "${options[@]}" "$corpus" "$root/tests/fuzz/corpus_$name" >"$log" 2>&1; then
        echo "fuzz_$name: $(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$') inputs in ${seconds} s, no finding"
    else
        status=1
        echo "fuzz_$name FAILED; the end of $log:" >&2
        tail -n 40 "$log" >&2
    fi
done
exit $status
