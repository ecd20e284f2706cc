"""Costs of KelvaraDisplay: reading and writing the display data, Select all, the search.

Run inside the host stand-in:  build/host/kelvara-host bench/bench_display.py [bench_display]
First it runs the native half, build/bench/bench_display (or the path given),
which compares setDisplayData and displayData with the least work their
results need (goals: within 1.5x at 1,000, 10,000 and 100,000 assays, and
100,000 costing at most 12x 10,000), checks Select all against checking row
by row, and prints a table of every user action (the first show, check and
uncheck a row by mouse and by Space, select a row by mouse and by the Down
key, type and erase one search character, Select all, Clear, resize, Ok) at
1,000, 10,000 and 100,000 assays, and at 100,000 with names of varied lengths
and scripts and with one name of two lines, each with the event passes that
repaint it, next to a bare QListView with uniform item sizes doing the same
(goals: 16 ms at 10,000, 50 ms at 100,000). It runs on the platform of QT_QPA_PLATFORM (offscreen if
unset; xcb with DISPLAY set to an X server such as Xvfb). Then it measures
the same reading and writing from Python, the text's conversion included.
"""

import json
import statistics

import benchsupport
from KelvaraWidgets import KelvaraDisplay

ROUNDS = 5


def display_text(assays):
    return json.dumps({f"assay {n:06d}": {"alias": f"Assay {n}", "default_uncertainty": (n % 1000) / 1000,
                                          "include_count": n % 2 == 0, "selected": True}
                       for n in range(assays)})


def median_ms(step, prepare=lambda: None):
    return statistics.median(benchsupport.times_ms(step, ROUNDS, prepare))


def filled(text):
    dialog = KelvaraDisplay()
    dialog.setDisplayData(text)
    return dialog


def main():
    benchsupport.run_native("bench_display")

    small, large = display_text(10_000), display_text(100_000)
    print()
    print(f"from Python, medians of {ROUNDS} rounds       100,000 assays 10,000 assays  ratio")
    read_large = median_ms(lambda dialog: dialog.setDisplayData(large), KelvaraDisplay)
    read_small = median_ms(lambda dialog: dialog.setDisplayData(small), KelvaraDisplay)
    print(f"setDisplayData                             {read_large:9.2f} ms {read_small:9.2f} ms "
          f"{read_large / read_small:7.2f}   (goal <= 12)")
    dialogs = filled(large), filled(small)
    write_large = median_ms(lambda _: dialogs[0].displayData())
    write_small = median_ms(lambda _: dialogs[1].displayData())
    print(f"displayData                                {write_large:9.2f} ms {write_small:9.2f} ms "
          f"{write_large / write_small:7.2f}   (goal <= 12)")


main()
