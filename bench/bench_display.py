"""Costs of KelvaraDisplay: reading and writing the display data, Select all, the search.

Run inside the host stand-in:  build/host/kelvara-host bench/bench_display.py [bench_display]
First it runs the native half, build/bench/bench_display (or the path given),
which compares setDisplayData and displayData with the least work their
results need (goals: within 1.5x at 1,000, 10,000 and 100,000 assays, and
100,000 costing at most 12x 10,000), times Select all over 10,000 unchecked
rows (goal: under 1 s) and checks it against checking row by row, and times
one character typed into the search field over 100,000 rows. Then it measures
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
