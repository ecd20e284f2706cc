"""Costs of KelvaraSelection: filling it and clicking a group, against baselines.

Run inside the host stand-in:  build/host/kelvara-host bench/bench_selection.py [bench_selection]
First it runs the native half, build/bench/bench_selection (or the path given),
which compares the dialog with a bare QTreeWidget holding the same items
(goals: fill and a group's check/uncheck within 2x of it, 100,000 libraries at
most 12x the cost of 10,000). Then it measures the same from Python, with the
dictionary's conversion included: the growth of a fill, and a click on a group
of 1,000 in a tree ten times larger, which should cost about the same.
"""

import os
import pathlib
import subprocess
import sys
import time

import kelvarahost
import KelvaraWidgets
from KelvaraWidgets import KelvaraSelection

ROUNDS = 7
NAME = "KelvaraSelection"


def library_dict(groups, libraries_per_group):
    return {f"group {g:05}": [f"library {g}.{l}" for l in range(libraries_per_group)] for g in range(groups)}


def best_ms(step, prepare=lambda: None):
    """Best of the rounds: other work on the machine only ever adds time."""
    times = []
    for _ in range(ROUNDS):
        state = prepare()
        start = time.perf_counter()
        step(state)
        times.append((time.perf_counter() - start) * 1e3)
    return min(times)


def fill_ms(items):
    return best_ms(lambda dialog: dialog.setAvailableItems(items), KelvaraSelection)


def group_clicks_ms(items):
    """Check and uncheck the first group, as a click on its check box does, while the dialog runs."""
    dialog = KelvaraSelection()
    dialog.setAvailableItems(items)

    def clicks(_):
        for _ in range(2):
            kelvarahost.toggle_item(NAME, "treeWidget", "group 00000")
            kelvarahost.process_events()

    costs = []

    def user():
        costs.append(best_ms(clicks))
        kelvarahost.press(NAME, "Cancel")

    kelvarahost.call_later(0, user)
    dialog.run()
    kelvarahost.raise_pending_error()
    assert dialog.selectedItems() == [], "the clicks did not come in pairs"
    return costs[0]


def run_native(path):
    if not path.exists():
        print(f"native bench not built: {path}")
        return
    environment = dict(os.environ, QT_QPA_PLATFORM=os.environ.get("QT_QPA_PLATFORM", "offscreen"))
    result = subprocess.run([str(path)], capture_output=True, text=True, env=environment)
    print(result.stdout, end="")
    if result.returncode != 0:
        print(result.stderr, end="", file=sys.stderr)
        sys.exit(result.returncode)


def main():
    build = pathlib.Path(KelvaraWidgets.__file__).resolve().parent.parent
    run_native(pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else build / "bench" / "bench_selection")

    small, large = library_dict(10, 1000), library_dict(100, 1000)
    print()
    print(f"from Python, best of {ROUNDS} rounds        100,000 lib.  10,000 lib.   ratio")
    large_fill, small_fill = fill_ms(large), fill_ms(small)
    print(f"setAvailableItems, groups of 1,000         {large_fill:9.2f} ms {small_fill:9.2f} ms "
          f"{large_fill / small_fill:7.2f}   (goal <= 12)")
    large_clicks, small_clicks = group_clicks_ms(large), group_clicks_ms(small)
    print(f"check + uncheck 1 group of 1,000           {large_clicks:9.2f} ms {small_clicks:9.2f} ms "
          f"{large_clicks / small_clicks:7.2f}   (the tree's size should not count)")


main()
