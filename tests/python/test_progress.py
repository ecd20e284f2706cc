"""ProgressDialog from Python: signatures, conversions, the tick cycle, cancelling."""

import pytest

import KelvaraWidgets
import kelvarahost
from KelvaraWidgets import ProgressDialog

NAME = "ProgressDialog"


def label():
    return kelvarahost.child_property(NAME, "label", "text")


def test_methods_in_order_with_signatures():
    expected = {
        "reject": "(self: KelvaraWidgets.ProgressDialog) -> None",
        "cancelled": "(self: KelvaraWidgets.ProgressDialog) -> bool",
        "setMessage": "(self: KelvaraWidgets.ProgressDialog, arg0: str) -> None",
        "tick": "(self: KelvaraWidgets.ProgressDialog) -> None",
        "setWindowTitle": "(self: KelvaraWidgets.ProgressDialog, arg0: str) -> None",
        "modal": None,
        "show": "(self: KelvaraWidgets.ProgressDialog) -> None",
        "hide": "(self: KelvaraWidgets.ProgressDialog) -> None",
        "delete": "(self: KelvaraWidgets.ProgressDialog) -> None",
    }
    own = [attr for attr in vars(ProgressDialog) if not attr.startswith("_")]
    assert own == list(expected)
    for name, signature in expected.items():
        if signature:
            assert getattr(ProgressDialog, name).__doc__.strip() == name + signature
    modal = vars(ProgressDialog)["modal"]
    assert isinstance(modal, property)
    # pybind11 renders property accessors without the method's "self".
    assert modal.fget.__doc__.strip() == "(arg0: KelvaraWidgets.ProgressDialog) -> bool"
    assert modal.fset.__doc__.strip() == "(arg0: KelvaraWidgets.ProgressDialog, arg1: bool) -> None"


def test_new_dialog_defaults():
    dialog = ProgressDialog()
    assert dialog.cancelled() is False
    assert dialog.modal is False
    info = kelvarahost.find_dialog(NAME)
    assert info == {"title": "Query Progress", "visible": False, "modal": False, "width": 400, "height": 65}
    assert label() == "TextLabel"


@pytest.mark.parametrize("value, expected", [(True, True), (1, True), (False, False), (0, False), (None, False)])
def test_modal_converts_like_bool(value, expected):
    dialog = ProgressDialog()
    dialog.modal = not expected
    dialog.modal = value
    assert dialog.modal is expected


@pytest.mark.parametrize("value", ["yes", b"1", [], object()])
def test_modal_rejects_non_bool(value):
    dialog = ProgressDialog()
    with pytest.raises(TypeError):
        dialog.modal = value
    assert dialog.modal is False


@pytest.mark.parametrize("text, shown", [
    ("Reading assays", "Reading assays"),
    ("Requête 🧪 données", "Requête 🧪 données"),
    (b"bytes \xc3\xa9", "bytes é"),
    (bytearray(b"plain"), "plain"),
    ("", ""),
])
def test_text_arguments(text, shown):
    dialog = ProgressDialog()
    dialog.setMessage(text)
    dialog.setWindowTitle(text)
    assert label() == shown
    assert kelvarahost.find_dialog(NAME)["title"] == shown


@pytest.mark.parametrize("call", [
    lambda d: d.setMessage(5),
    lambda d: d.setMessage(None),
    lambda d: d.setMessage("\ud800"),
    lambda d: d.setMessage(),
    lambda d: d.setMessage("a", "b"),
    lambda d: d.setMessage(arg0="a"),
    lambda d: d.setWindowTitle(arg0="a"),
    lambda d: d.tick(1),
    lambda d: d.cancelled(True),
])
def test_bad_arguments_raise_type_error_and_change_nothing(call):
    dialog = ProgressDialog()
    dialog.setMessage("kept")
    with pytest.raises(TypeError):
        call(dialog)
    assert label() == "kept"


def test_tick_grows_trail_and_starts_over():
    dialog = ProgressDialog()
    dialog.show()
    dialog.setMessage("Loading")
    labels = []
    for _ in range(35):
        dialog.tick()
        labels.append(label())
    assert labels[0] == "Loading."
    assert labels[32] == "Loading" + "." * 33
    assert labels[33] == "Loading"
    assert labels[34] == "Loading."


@pytest.mark.parametrize("action", [
    lambda: kelvarahost.press(NAME, "Cancel"),
    lambda: kelvarahost.send_key(NAME, "Escape"),
    lambda: kelvarahost.close(NAME),
])
def test_user_cancel_reaches_script_during_tick(action):
    dialog = ProgressDialog()
    dialog.show()
    kelvarahost.call_later(0, action)
    ticks = 0
    while not dialog.cancelled():
        dialog.tick()
        ticks += 1
        assert ticks < 10000, "the cancel never arrived"
    assert kelvarahost.find_dialog(NAME)["visible"] is False


def test_reject_from_script_cancels_for_good():
    dialog = ProgressDialog()
    dialog.show()
    assert dialog.reject() is None
    assert dialog.cancelled() is True
    assert kelvarahost.find_dialog(NAME)["visible"] is False
    dialog.show()
    dialog.tick()
    assert dialog.cancelled() is True


def test_modal_dialog_blocks_every_other_window():
    other = ProgressDialog()
    other.setWindowTitle("Other")
    other.show()
    dialog = ProgressDialog()
    dialog.modal = True
    dialog.show()
    kelvarahost.click_through_window("Other", "Cancel")
    assert other.cancelled() is False
    dialog.hide()
    kelvarahost.click_through_window("Other", "Cancel")
    assert other.cancelled() is True
    assert dialog.cancelled() is False


def test_wrong_self_raises_type_error():
    with pytest.raises(TypeError):
        ProgressDialog.tick(object())
    with pytest.raises(TypeError):
        ProgressDialog.setMessage(KelvaraWidgets.KelvaraDisplay(), "text")


def test_shown_dialog_closes_with_its_last_reference():
    dialog = ProgressDialog()
    dialog.show()
    assert kelvarahost.find_dialog(NAME)["visible"] is True
    del dialog
    assert kelvarahost.find_dialog(NAME) is None
