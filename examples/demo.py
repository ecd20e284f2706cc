"""A script author's tour of KelvaraWidgets, run inside the host stand-in.

    build/host/kelvara-host examples/demo.py [output-folder]

With a screen the dialogs wait for you. Without one (Qt's offscreen platform)
the script answers them itself and saves a PNG of each in the output folder
(default: demo-output).
"""

import os
import sys
import time
from typing import Callable

import kelvarahost
from KelvaraWidgets import ProgressDialog

INTERACTIVE = kelvarahost.platform() not in ("offscreen", "minimal")
OUTPUT = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "demo-output")


def answer(delay_ms: int, dialog_name: str, picture: str, action: Callable[[], object]) -> None:
    """Offscreen only: after a delay, save a picture of the dialog, then act as the user."""
    if INTERACTIVE:
        return

    def act() -> None:
        kelvarahost.grab(dialog_name, os.path.join(OUTPUT, picture))
        action()

    kelvarahost.call_later(delay_ms, act)


def run_query_with_progress() -> None:
    stages = [
        ("Connecting to the Kelvara server", 40),
        ("Fetching compound batches", 120),
        ("Reading assay results", 200),
        ("Aggregating values", 80),
    ]
    progress = ProgressDialog()
    progress.setWindowTitle("Query Progress")
    progress.show()
    # Offscreen, the user gets bored during the third stage and presses Cancel.
    answer(2500, "ProgressDialog", "progress.png", lambda: kelvarahost.press("ProgressDialog", "Cancel"))

    done = 0
    for message, units in stages:
        progress.setMessage(message)
        for _ in range(units):
            time.sleep(0.01)  # one unit of the query's real work
            progress.tick()
            if progress.cancelled():
                break
            done += 1
        if progress.cancelled():
            break
    progress.hide()
    total = sum(units for _, units in stages)
    if progress.cancelled():
        print(f"Query cancelled by the user during \"{message}\" after {done} of {total} steps.")
    else:
        print(f"Query finished: {total} steps.")


def main() -> None:
    os.makedirs(OUTPUT, exist_ok=True)
    print(f"Qt platform: {kelvarahost.platform()}" + ("" if INTERACTIVE else f"; pictures go to {OUTPUT}"))
    run_query_with_progress()
    kelvarahost.raise_pending_error()


if __name__ == "__main__":
    main()
