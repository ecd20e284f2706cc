"""Uses every class, method and property of KelvaraWidgets, for the type checker."""

import json

from KelvaraWidgets import KelvaraDisplay, KelvaraSelection, ProgressDialog


def progress() -> bool:
    dialog = ProgressDialog()
    dialog.setWindowTitle("Query Progress")
    dialog.modal = True
    was_modal: bool = dialog.modal
    dialog.show()
    dialog.setMessage("Working")
    dialog.tick()
    dialog.reject()
    dialog.hide()
    dialog.delete()
    return dialog.cancelled() and was_modal


def display() -> dict[str, object]:
    dialog = KelvaraDisplay()
    dialog.setDisplayData(json.dumps({"IC50": {"alias": "IC50 (nM)", "selected": True}}))
    accepted: bool = dialog.run()
    text: str = dialog.displayData()
    dialog.delete()
    return json.loads(text) if accepted else {}


def selection() -> tuple[list[str], str]:
    dialog = KelvaraSelection()
    dialog.setAvailableItems({"Internal": ["KL-0001", "KL-0002"], "Vendor": []})
    dialog.run()
    chosen: list[str] = dialog.selectedItems()
    mode: str = dialog.aggregationMode()
    dialog.delete()
    return chosen, mode
