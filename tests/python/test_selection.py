"""KelvaraSelection from Python: signatures, the dictionary and list conversions, running it."""

import collections
import sys
import types

import pytest

import kelvarahost
from KelvaraWidgets import KelvaraSelection
from userrun import run_with_user

NAME = "KelvaraSelection"


def check(text):
    kelvarahost.toggle_item(NAME, "treeWidget", text)


def group_count():
    return kelvarahost.child_property(NAME, "treeWidget", "topLevelItemCount")


def libraries_in_tree_order(dialog, groups):
    """Check every group, so that selectedItems lists every library in tree order."""
    for group in groups:
        check(group)
    return dialog.selectedItems()


class Lying:
    """A sequence whose __len__ and __getitem__ may raise or disagree."""

    def __init__(self, length, getitem):
        self.length, self.getitem = length, getitem

    def __len__(self):
        return self.length()

    def __getitem__(self, index):
        return self.getitem(index)


def test_methods_in_order_with_signatures():
    expected = {
        "run": "(self: KelvaraWidgets.KelvaraSelection) -> bool",
        "setAvailableItems": "(self: KelvaraWidgets.KelvaraSelection, arg0: dict[str, list[str]]) -> None",
        "selectedItems": "(self: KelvaraWidgets.KelvaraSelection) -> list[str]",
        "aggregationMode": "(self: KelvaraWidgets.KelvaraSelection) -> str",
        "delete": "(self: KelvaraWidgets.KelvaraSelection) -> None",
    }
    own = [attr for attr in vars(KelvaraSelection) if not attr.startswith("__")]
    assert own == ["_pybind11_conduit_v1_", *expected]
    for name, signature in expected.items():
        assert getattr(KelvaraSelection, name).__doc__.strip() == name + signature


def test_new_dialog_defaults():
    dialog = KelvaraSelection()
    assert kelvarahost.find_dialog(NAME) == {
        "title": "Select Kelvara Libraries", "visible": False, "modal": False, "width": 400, "height": 300}
    assert dialog.selectedItems() == []
    assert dialog.aggregationMode() == "compound"
    assert group_count() == 0
    assert kelvarahost.press(NAME, "Ok") is False


@pytest.mark.parametrize("items, groups, expected", [
    ({"b": ["x"], "a": ("y", "z")}, ["a", "b"], ["y", "z", "x"]),
    ({"alpha": ["1"], "Zeta": ["2"]}, ["alpha", "Zeta"], ["2", "1"]),
    # UTF-8 puts U+FF01 first, UTF-16 the surrogate pair of U+1F600: the dialog's order wins.
    ({"\uff01": ["full-width"], "\U0001f600": ["emoji"]}, ["\uff01", "\U0001f600"], ["emoji", "full-width"]),
    ({"g": collections.deque(["q", "r"]), "h": []}, ["g", "h"], ["q", "r"]),
    ({"g": Lying(lambda: 2, ["q", "r"].__getitem__)}, ["g"], ["q", "r"]),
    ({"g": ["same", "", "same"]}, ["g"], ["same", "", "same"]),
    ({b"bytes key": [b"bytes name", bytearray(b"bytearray name")]}, ["bytes key"], ["bytes name", "bytearray name"]),
])
def test_groups_in_ascending_key_order_with_items_in_sequence_order(items, groups, expected):
    dialog = KelvaraSelection()
    assert dialog.setAvailableItems(items) is None
    assert group_count() == len(items)
    assert libraries_in_tree_order(dialog, groups) == expected


def test_empty_dictionary_adds_nothing():
    dialog = KelvaraSelection()
    dialog.setAvailableItems({})
    assert group_count() == 0
    assert dialog.selectedItems() == []


def test_second_call_appends_and_keeps_states():
    dialog = KelvaraSelection()
    dialog.setAvailableItems({"g": ["a", "b"]})
    check("b")
    dialog.setAvailableItems({"g": ["c"], "f": ["d"]})
    assert group_count() == 3
    assert dialog.selectedItems() == ["b"]
    check("d")
    assert dialog.selectedItems() == ["b", "d"]


@pytest.mark.parametrize("items", [
    {"a": "single string"},
    {"a": b"single bytes"},
    {"a": ["fine"], "b": ["text", 3]},
    {"a": ["fine"], "b": None},
    {"a": ["fine"], 5: ["number key"]},
    {"a": ["\ud800"]},
    [("a", ["pairs"])],
    types.MappingProxyType({"a": ["proxy"]}),
    collections.UserDict({"a": ["user dict"]}),
    None,
    {"a": ["fine"], "b": Lying(lambda: 1 // 0, ["x"].__getitem__)},
    {"a": ["fine"], "b": Lying(lambda: 1, lambda index: 1 // 0)},
    {"a": ["fine"], "b": Lying(lambda: 2, ["x"].__getitem__)},
    {"a": ["fine"], "b": Lying(lambda: sys.maxsize, ["x"].__getitem__)},
    {"a": ["fine"], "b": Lying(lambda: 2**40, ["x"].__getitem__)},
    {"a": ["fine"], "b": Lying(lambda: 1, ["x", "y"].__getitem__)},
])
def test_unconvertible_argument_raises_type_error_and_changes_nothing(items):
    dialog = KelvaraSelection()
    dialog.setAvailableItems({"kept": ["old"]})
    check("old")
    with pytest.raises(TypeError, match="incompatible function arguments"):
        dialog.setAvailableItems(items)
    assert group_count() == 1
    assert dialog.selectedItems() == ["old"]
    with pytest.raises(KeyError):
        check("fine")


def interrupt(*_):
    raise KeyboardInterrupt


@pytest.mark.parametrize("value", [Lying(interrupt, ["x"].__getitem__), Lying(lambda: 1, interrupt)],
                         ids=["in len", "in getitem"])
def test_interrupt_while_converting_goes_through(value):
    with pytest.raises(KeyboardInterrupt):
        KelvaraSelection().setAvailableItems({"a": value})


def test_keyword_argument_raises_type_error():
    dialog = KelvaraSelection()
    with pytest.raises(TypeError):
        dialog.setAvailableItems(arg0={"a": ["b"]})
    assert group_count() == 0


@pytest.mark.parametrize("items, kept", [
    ({"g": ["from str"], b"g": ["from bytes"]}, "from str"),
    ({b"g": ["from bytes"], "g": ["from str"]}, "from bytes"),
])
def test_equal_key_bytes_keep_the_first_entry(items, kept):
    dialog = KelvaraSelection()
    dialog.setAvailableItems(items)
    assert group_count() == 1
    assert libraries_in_tree_order(dialog, ["g"]) == [kept]


@pytest.mark.parametrize("mapping", [
    collections.OrderedDict([("b", ["x"]), ("a", ["y"])]),
    type("LibraryDict", (dict,), {})({"b": ["x"], "a": ["y"]}),
    collections.defaultdict(list, {"b": ["x"], "a": ["y"]}),
])
def test_dict_subclasses_are_accepted(mapping):
    dialog = KelvaraSelection()
    dialog.setAvailableItems(mapping)
    assert libraries_in_tree_order(dialog, ["a", "b"]) == ["y", "x"]


def test_selected_items_is_a_new_list_each_call():
    dialog = KelvaraSelection()
    dialog.setAvailableItems({"g": ["a"]})
    check("a")
    first = dialog.selectedItems()
    second = dialog.selectedItems()
    assert first == second == ["a"]
    assert first is not second
    first.append("changed")
    assert dialog.selectedItems() == ["a"]
    assert type(dialog.aggregationMode()) is str


def test_names_outside_ascii_pass_both_ways():
    names = ["Bibliothèque", "ライブラリ", "🧪 assays", "Ωmega"]
    dialog = KelvaraSelection()
    dialog.setAvailableItems({"Grüppe": names})
    check("Grüppe")
    assert dialog.selectedItems() == names


def test_run_returns_true_after_ok_with_the_checked_names():
    dialog = KelvaraSelection()
    dialog.setAvailableItems({"one": ["a", "b"], "two": ["c"]})
    accepted, pressed = run_with_user(
        dialog,
        lambda: kelvarahost.press(NAME, "Ok"),
        lambda: check("b"),
        lambda: check("c"),
        lambda: kelvarahost.set_child_property(NAME, "rbBatch", "checked", True),
        lambda: kelvarahost.press(NAME, "Ok"),
    )
    assert accepted is True
    assert pressed[0] is False, "Ok must be disabled while nothing is checked"
    assert pressed[-1] is True
    assert dialog.selectedItems() == ["b", "c"]
    assert dialog.aggregationMode() == "batch"
    assert kelvarahost.find_dialog(NAME)["visible"] is False


@pytest.mark.parametrize("reject", [
    lambda: kelvarahost.press(NAME, "Cancel"),
    lambda: kelvarahost.send_key(NAME, "Escape"),
    lambda: kelvarahost.close(NAME),
])
def test_run_returns_false_when_rejected_and_keeps_the_choice(reject):
    dialog = KelvaraSelection()
    dialog.setAvailableItems({"g": ["a", "b"]})
    accepted, _ = run_with_user(dialog, lambda: check("g"), lambda: check("a"), reject)
    assert accepted is False
    assert dialog.selectedItems() == ["b"]
    assert dialog.aggregationMode() == "compound"
    # It runs again from where the user left it.
    accepted, _ = run_with_user(dialog, lambda: kelvarahost.press(NAME, "Ok"))
    assert accepted is True
    assert dialog.selectedItems() == ["b"]


def test_return_key_accepts_only_once_a_library_is_checked():
    dialog = KelvaraSelection()
    dialog.setAvailableItems({"g": ["a"]})

    def still_shown():
        return kelvarahost.find_dialog(NAME)["visible"]

    accepted, shown = run_with_user(
        dialog,
        lambda: kelvarahost.send_key(NAME, "Return"),
        still_shown,
        lambda: check("a"),
        lambda: kelvarahost.send_key(NAME, "Return"),
    )
    assert shown[1] is True
    assert accepted is True
    assert dialog.selectedItems() == ["a"]
