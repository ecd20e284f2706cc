"""Cost of ProgressDialog.tick() against the least a tick must do.

Run inside the host stand-in:  build/host/kelvara-host bench/bench_tick.py
The baseline sets the label's text and runs one event pass on a second shown
dialog; the figure that matters is the ratio (goal: at most 1.3).
"""

import statistics

import benchsupport
import kelvarahost
from KelvaraWidgets import ProgressDialog

CALLS = 20000
ROUNDS = 5
MESSAGE = "Reading assay results"


def per_call_us(step):
    def calls(_):
        for _ in range(CALLS):
            step()

    return statistics.median(benchsupport.times_ms(calls, ROUNDS)) * 1e3 / CALLS


def main():
    ticking = ProgressDialog()
    ticking.show()
    ticking.setMessage(MESSAGE)

    baseline_dialog = ProgressDialog()
    baseline_dialog.show()
    texts = [MESSAGE + "." * dots for dots in range(40 - len(MESSAGE) + 1)]
    state = {"next": 0}

    def baseline():
        # Same label churn as a tick: the message with a growing trail.
        baseline_dialog.setMessage(texts[state["next"]])
        state["next"] = (state["next"] + 1) % len(texts)
        kelvarahost.process_events()

    kelvarahost.process_events()
    base = per_call_us(baseline)
    tick = per_call_us(ticking.tick)
    print(f"platform            {kelvarahost.platform()}")
    print(f"baseline (setText + processEvents)  {base:8.2f} us/call")
    print(f"ProgressDialog.tick()               {tick:8.2f} us/call")
    print(f"ratio tick/baseline                 {tick / base:8.2f}  (goal <= 1.3)")


main()
