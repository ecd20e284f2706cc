"""Shows one dialog as the first window of kelvara-host, for the clients of
check_outside.py to drive with real keys and read over AT-SPI.

    build/host/kelvara-host tests/outside/dialogs.py progress|long-progress|selection|display CONTROL_DIR

The result goes to stdout as one JSON line once the dialog is answered. A
dialog that nobody answers closes itself after GIVE_UP_S, so that a failed
check never leaves the host waiting.
"""

import json
import os
import sys
import time

GIVE_UP_S = 30
ASSAYS = ("CDK2 IC50", "EGFR Ki", "PI3K EC50", "PI3Kα IC50", "hERG patch clamp")
LIBRARIES = {"Fragments": ["FRAG-A", "FRAG-B"], "Internal": ["KCL-0012", "KCL-0057"]}
PROGRESS_MESSAGES = ("Fetching batches", "Reading assays")
TICKS_PER_MESSAGE = 30
# Set once the ticking is over: its announcement tells the client that every
# event of the ticks before it has arrived.
LAST_MESSAGE = "Waiting for Cancel"
# Wraps to more lines than any screen has room for.
LONG_MESSAGE = "Reading /data/assays/plate-0001.csv " * 150


def show_progress(control_dir: str, message: str = "") -> dict:
    progress = ProgressDialog()
    if message:
        progress.setMessage(message)
    progress.show()
    deadline = time.monotonic() + GIVE_UP_S
    # The ticks start once the client listens for their events.
    while not os.path.exists(os.path.join(control_dir, "tick")) and time.monotonic() < deadline:
        if progress.cancelled():
            return {"cancelled": True}
        kelvarahost.process_events()
        time.sleep(0.01)
    for message in PROGRESS_MESSAGES:
        progress.setMessage(message)
        for _ in range(TICKS_PER_MESSAGE):
            time.sleep(0.005)  # a unit of a query's work
            progress.tick()
    progress.setMessage(LAST_MESSAGE)
    while not progress.cancelled() and time.monotonic() < deadline:
        time.sleep(0.01)
        progress.tick()
    return {"cancelled": progress.cancelled()}


def run_modal(dialog, name: str) -> bool:
    kelvarahost.call_later(GIVE_UP_S * 1000, lambda: kelvarahost.close(name))
    return dialog.run()


def show_selection(control_dir: str) -> dict:
    selection = KelvaraSelection()
    selection.setAvailableItems(LIBRARIES)
    accepted = run_modal(selection, "KelvaraSelection")
    return {"accepted": accepted, "checked": selection.selectedItems()}


def show_display(control_dir: str) -> dict:
    display = KelvaraDisplay()
    display.setDisplayData(json.dumps({name: {"selected": False} for name in ASSAYS}))
    accepted = run_modal(display, "KelvaraDisplay")
    settings = json.loads(display.displayData())
    return {"accepted": accepted, "checked": [name for name, record in settings.items() if record["selected"]]}


if __name__ == "__main__":
    # Only here: check_outside.py imports this file, under the system python3, for its data.
    import kelvarahost
    from KelvaraWidgets import KelvaraDisplay, KelvaraSelection, ProgressDialog

    # Keys that xdotool sends together arrive within the type-ahead interval
    # however busy the machine; nothing typed later belongs to the same name.
    kelvarahost.set_keyboard_input_interval(60000)
    show = {"progress": show_progress, "long-progress": lambda control_dir: show_progress(control_dir, LONG_MESSAGE),
            "selection": show_selection, "display": show_display}
    dialog, control_dir = sys.argv[1:3]
    print(json.dumps(show[dialog](control_dir)), flush=True)
