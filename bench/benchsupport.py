"""What the Python halves of the benchmarks share: running the native half, and the timing."""

import os
import pathlib
import subprocess
import sys
import time

import KelvaraWidgets


def run_native(name):
    """Runs the native half: the path given on the command line, else bench/<name> in the build."""
    build = pathlib.Path(KelvaraWidgets.__file__).resolve().parent.parent
    path = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else build / "bench" / name
    if not path.exists():
        print(f"native bench not built: {path}")
        return
    environment = dict(os.environ, QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
    result = subprocess.run([str(path)], capture_output=True, text=True, env=environment)
    print(result.stdout, end="")
    if result.returncode != 0:
        print(result.stderr, end="", file=sys.stderr)
        sys.exit(result.returncode)


def times_ms(step, rounds, prepare=lambda: None):
    """Milliseconds of step(prepare()) in each round, prepare() untimed."""
    times = []
    for _ in range(rounds):
        state = prepare()
        start = time.perf_counter()
        step(state)
        times.append((time.perf_counter() - start) * 1e3)
    return times
