"""KelvaraDisplay from Python: signatures, the display data's bytes at the boundary, running it."""

import json

import pytest

import kelvarahost
from KelvaraWidgets import KelvaraDisplay
from userrun import run_with_user

NAME = "KelvaraDisplay"
EMPTY_OBJECT = "{\n}\n"
ASSAYS = {"Größe µ": {"alias": "Ω-Säule", "selected": False}, "日本": {"default_uncertainty": 0.3}}


def test_methods_in_order_with_signatures():
    expected = {
        "run": "(self: KelvaraWidgets.KelvaraDisplay) -> bool",
        "setDisplayData": "(self: KelvaraWidgets.KelvaraDisplay, arg0: str) -> None",
        "displayData": "(self: KelvaraWidgets.KelvaraDisplay) -> str",
        "delete": "(self: KelvaraWidgets.KelvaraDisplay) -> None",
    }
    own = [attr for attr in vars(KelvaraDisplay) if not attr.startswith("__")]
    assert own == ["_pybind11_conduit_v1_", *expected]
    for name, signature in expected.items():
        assert getattr(KelvaraDisplay, name).__doc__.strip() == name + signature


def test_new_dialog_gives_the_empty_object():
    out = KelvaraDisplay().displayData()
    assert type(out) is str
    assert out == EMPTY_OBJECT


@pytest.mark.parametrize("convert", [str, lambda text: text.encode(), lambda text: bytearray(text.encode())],
                         ids=["str", "bytes", "bytearray"])
def test_names_outside_ascii_pass_unchanged_both_ways(convert):
    dialog = KelvaraDisplay()
    dialog.setDisplayData(convert(json.dumps(ASSAYS, ensure_ascii=False)))
    out = dialog.displayData()
    assert type(out) is str
    assert json.loads(out) == {"Größe µ": {"alias": "Ω-Säule", "selected": False},
                               "日本": {"default_uncertainty": 0.3, "selected": True}}
    # Written as UTF-8 itself, not as escapes.
    assert '"Größe µ"' in out and '"日本"' in out
    assert kelvarahost.child_property(NAME, "assayNameLabel", "accessibleDescription") == "Größe µ"


@pytest.mark.parametrize("text, names", [
    (b'{"\xff": {}}', []),                # not UTF-8: Qt's parser refuses it
    ('{"\\ud800": {}}', ["\ud800"]),      # a lone surrogate by escape comes back escaped
])
def test_output_is_text_even_for_odd_input(text, names):
    dialog = KelvaraDisplay()
    dialog.setDisplayData(text)
    out = dialog.displayData()
    assert type(out) is str
    assert list(json.loads(out)) == names


@pytest.mark.parametrize("wrong", [None, 1, 2.5, ["{}"], {"a": {}}, object(), "\ud800"],
                         ids=["None", "int", "float", "list", "dict", "object", "lone surrogate"])
def test_non_text_raises_type_error_and_keeps_data(wrong):
    dialog = KelvaraDisplay()
    dialog.setDisplayData(json.dumps(ASSAYS))
    before = dialog.displayData()
    with pytest.raises(TypeError):
        dialog.setDisplayData(wrong)
    with pytest.raises(TypeError):
        dialog.setDisplayData(arg0="{}")
    assert dialog.displayData() == before


@pytest.mark.parametrize("finish, accepted", [
    (lambda: kelvarahost.press(NAME, "Ok"), True),
    (lambda: kelvarahost.press(NAME, "Cancel"), False),
    (lambda: kelvarahost.send_key(NAME, "Escape"), False),
    (lambda: kelvarahost.close(NAME), False),
], ids=["Ok", "Cancel", "Escape", "close"])
def test_run_reports_ok_and_saves_only_then(finish, accepted):
    dialog = KelvaraDisplay()
    dialog.setDisplayData(json.dumps(ASSAYS))

    result, shown = run_with_user(
        dialog,
        lambda: kelvarahost.find_dialog(NAME)["visible"],
        lambda: kelvarahost.set_child_property(NAME, "lineEditDisplayName", "text", "edited"),
        finish,
    )
    assert shown[0] is True
    assert result is accepted
    assert kelvarahost.find_dialog(NAME)["visible"] is False
    alias = json.loads(dialog.displayData())["Größe µ"]["alias"]
    assert alias == ("edited" if accepted else "Ω-Säule")
