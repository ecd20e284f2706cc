"""Costs of KelvaraSelection: filling it and each user action, against baselines.

Run inside the host stand-in:  build/host/kelvara-host bench/bench_selection.py [bench_selection]
First it runs the native half, build/bench/bench_selection (or the path given),
which compares the dialog with bare Qt widgets holding the same items
(goals: fill and a group's check/uncheck within 2x of them, 100,000 libraries at
most 12x the cost of 10,000) and prints a table of each user action on one
group of 1,000 to 100,000 libraries, with its repaint, next to the same in
bare Qt (goals: 16 ms at 10,000, 50 ms at 100,000). Then it measures from
Python, with the dictionary's conversion included: the growth of a fill, and a
click on a group of 1,000 in a tree ten times larger, which should cost about
the same.
"""

import benchsupport
import kelvarahost
from KelvaraWidgets import KelvaraSelection

ROUNDS = 7
NAME = "KelvaraSelection"


def library_dict(groups, libraries_per_group):
    return {f"group {g:05}": [f"library {g}.{l}" for l in range(libraries_per_group)] for g in range(groups)}


def best_ms(step, prepare=lambda: None):
    """Best of the rounds: other work on the machine only ever adds time."""
    return min(benchsupport.times_ms(step, ROUNDS, prepare))


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


def main():
    benchsupport.run_native("bench_selection")

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
