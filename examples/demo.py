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
import json

from KelvaraWidgets import KelvaraDisplay, KelvaraSelection, ProgressDialog

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


LIBRARY_GROUPS = {
    "Internal compound collection": [f"KCL-{n:04d}" for n in (12, 57, 103, 118, 240)],
    "Fragment screening": ["FRAG-A", "FRAG-B", "FRAG-C"],
    "Natural products": ["Marine extracts 2024", "Plant extracts 2025", "Fungal metabolites"],
    "Vendor libraries": ["Diversity set 50k", "Kinase-focused set", "Covalent fragments"],
    "Archived (read-only)": [],
}


def choose_libraries() -> None:
    selection = KelvaraSelection()
    selection.setAvailableItems(LIBRARY_GROUPS)

    def pick() -> None:
        # Checking a group checks its libraries; one library makes its group partial.
        kelvarahost.toggle_item("KelvaraSelection", "treeWidget", "Fragment screening")
        kelvarahost.toggle_item("KelvaraSelection", "treeWidget", "KCL-0057")
        kelvarahost.toggle_item("KelvaraSelection", "treeWidget", "KCL-0118")
        kelvarahost.set_child_property("KelvaraSelection", "rbBatch", "checked", True)
        kelvarahost.grab("KelvaraSelection", os.path.join(OUTPUT, "selection.png"))
        kelvarahost.press("KelvaraSelection", "Ok")

    if not INTERACTIVE:
        kelvarahost.call_later(100, pick)
    if selection.run():
        print(f"Libraries chosen ({selection.aggregationMode()} level): {', '.join(selection.selectedItems())}")
    else:
        print("Library selection cancelled.")


def sample_assays() -> dict[str, dict[str, object]]:
    targets = ["CDK2", "EGFR", "hERG", "JAK1", "JAK2", "PI3Kα", "BRD4", "KRAS G12C"]
    kinds = [("IC50", "nM", 0.3), ("Ki", "nM", 0.25), ("EC50", "µM", 0.5)]
    assays: dict[str, dict[str, object]] = {}
    for number, target in enumerate(targets):
        for kind, unit, uncertainty in kinds:
            assays[f"{target} {kind}"] = {
                "alias": f"{target} {kind} ({unit})",
                "default_uncertainty": uncertainty,
                "include_count": kind == "IC50",
                "factor": kind != "EC50",
                "selected": number % 3 != 1,
            }
    assays["Solubility (pH 7.4)"] = {"alias": "Sol. 7.4 (µg/mL)", "default_uncertainty": 1.5, "selected": False}
    assays["Microsomal stability (human)"] = {"alias": "HLM t½ (min)", "include_values": True}
    assays["Caco-2 permeability, apical to basolateral, long incubation protocol"] = {"selected": False}
    return assays


def set_display_settings() -> None:
    display = KelvaraDisplay()
    display.setDisplayData(json.dumps(sample_assays()))

    def edit() -> None:
        # Filter, then check an assay (which makes it current) and rename its column.
        kelvarahost.set_child_property("KelvaraDisplay", "lineEditSearch", "text", "jak")
        kelvarahost.grab("KelvaraDisplay", os.path.join(OUTPUT, "display-search.png"))
        kelvarahost.set_child_property("KelvaraDisplay", "lineEditSearch", "text", "")
        kelvarahost.toggle_item("KelvaraDisplay", "listView", "Solubility (pH 7.4)")
        kelvarahost.set_child_property("KelvaraDisplay", "lineEditDisplayName", "text", "Solubility 7.4")
        kelvarahost.set_child_property("KelvaraDisplay", "lineEditUncertainty", "text", "2.5")
        kelvarahost.set_child_property("KelvaraDisplay", "rbgeometric", "checked", True)
        kelvarahost.grab("KelvaraDisplay", os.path.join(OUTPUT, "display.png"))
        kelvarahost.press("KelvaraDisplay", "Ok")

    if not INTERACTIVE:
        kelvarahost.call_later(100, edit)
    if display.run():
        print("Display settings:")
        print(display.displayData(), end="")
    else:
        print("Display settings unchanged (cancelled).")


def main() -> None:
    os.makedirs(OUTPUT, exist_ok=True)
    print(f"Qt platform: {kelvarahost.platform()}" + ("" if INTERACTIVE else f"; pictures go to {OUTPUT}"))
    run_query_with_progress()
    choose_libraries()
    set_display_settings()
    kelvarahost.raise_pending_error()


if __name__ == "__main__":
    main()
