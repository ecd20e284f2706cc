"""Large and hostile input: handled in bounded time and memory, nothing valid lost."""

import json

import pytest

import kelvarahost
from KelvaraWidgets import KelvaraDisplay, KelvaraSelection
from userrun import run_with_user

EMPTY_OBJECT = "{\n}\n"
LONG_NAME = "Very long assay name " * 5000  # 105,000 characters


def nested(depth):
    return "[" * depth + "]" * depth


def test_fifty_megabytes_of_display_data_round_trip():
    data = {f"Assay {n:06d}": {"alias": f"Column {n} " + "x" * 460, "default_uncertainty": n / 7,
                                "include_count": n % 3 == 0, "selected": n % 2 == 0}
            for n in range(100_000)}
    text = json.dumps(data)
    assert len(text) > 50_000_000
    dialog = KelvaraDisplay()
    dialog.setDisplayData(text)
    assert json.loads(dialog.displayData()) == data


@pytest.mark.parametrize("depth, kept", [(500, True), (5000, False)])
def test_deeply_nested_extra_values(depth, kept):
    text = '{"IC50": {"alias": "IC50", "trail": %s}}' % nested(depth)
    dialog = KelvaraDisplay()
    dialog.setDisplayData(text)
    out = dialog.displayData()
    if kept:
        # Valid JSON that Qt's parser accepts is kept whole.
        assert json.loads(out) == {"IC50": {"alias": "IC50", "trail": json.loads(nested(depth)),
                                            "selected": True}}
    else:
        # Beyond the parser's depth limit the text reads as invalid: no assays.
        assert out == EMPTY_OBJECT


def test_hundred_thousand_character_assay_name():
    dialog = KelvaraDisplay()
    data = {LONG_NAME: {"alias": LONG_NAME[::-1], "selected": False}}
    dialog.setDisplayData(json.dumps(data))
    assert json.loads(dialog.displayData()) == data
    label = kelvarahost.child_property("KelvaraDisplay", "assayNameLabel", "text")
    assert label.endswith("…") and len(label) < 1000
    assert kelvarahost.child_property("KelvaraDisplay", "assayNameLabel", "accessibleDescription") == LONG_NAME


def test_hundred_thousand_character_library_and_group_names():
    dialog = KelvaraSelection()
    group = "G" + LONG_NAME
    dialog.setAvailableItems({group: [LONG_NAME, ""]})
    kelvarahost.toggle_item("KelvaraSelection", "treeWidget", group)
    assert dialog.selectedItems() == [LONG_NAME, ""]


def test_million_empty_groups():
    dialog = KelvaraSelection()
    dialog.setAvailableItems({f"Group {n:07d}": [] for n in range(1_000_000)})
    assert dialog.selectedItems() == []
    assert run_with_user(dialog, lambda: kelvarahost.press("KelvaraSelection", "Cancel"))[0] is False
    # An empty group checked by the user selects nothing, so Ok stays disabled.
    kelvarahost.toggle_item("KelvaraSelection", "treeWidget", "Group 0999999")
    assert dialog.selectedItems() == []
    accepted, pressed = run_with_user(dialog, lambda: kelvarahost.press("KelvaraSelection", "Ok"),
                                      lambda: kelvarahost.press("KelvaraSelection", "Cancel"))
    assert pressed[0] is False
    assert accepted is False


@pytest.mark.parametrize("method, raised, expected", [
    ("__len__", MemoryError, MemoryError),
    ("__iter__", RecursionError, RecursionError),
    ("__getitem__", LookupError, TypeError),
])
def test_exception_raised_by_a_value_goes_through_or_is_the_cause(method, raised, expected):
    def fail(*_):
        raise raised("from the value")
    value = type("Hostile", (), {"__len__": lambda _: 1, "__getitem__": lambda _, index: "x", method: fail})()
    with pytest.raises(expected) as caught:
        KelvaraSelection().setAvailableItems({"g": value})
    assert isinstance(caught.value.__cause__ if expected is TypeError else caught.value, raised)
