"""Property-based checks at the Python boundary: what goes in comes back out."""

import json

import kelvarahost
import pytest
from hypothesis import example, given, settings
from hypothesis import strategies as st

from KelvaraWidgets import KelvaraDisplay, KelvaraSelection

# Text that survives UTF-8 (no lone surrogates).
text = st.text(st.characters(blacklist_categories=["Cs"]), max_size=12)
json_scalar = st.none() | st.booleans() | st.integers(-2**53, 2**53) | st.floats(allow_nan=False, allow_infinity=False) | text
record = st.fixed_dictionaries({}, optional={
    "selected": st.booleans(),
    "alias": text,
    "default_uncertainty": st.floats(min_value=0, allow_nan=False, allow_infinity=False),
    "include_count": st.booleans(),
    "include_values": st.booleans(),
    "factor": st.booleans(),
    "comment": json_scalar,
    "history": st.lists(json_scalar, max_size=3),
})
display_data = st.dictionaries(text, record, max_size=8)
non_text = st.one_of(st.integers(), st.floats(), st.none(), st.lists(st.integers(), max_size=2),
                     st.tuples(text), st.builds(object))
PROPERTY_SETTINGS = settings(max_examples=60, deadline=None)


def utf16_order(names):
    """The order Qt gives string keys: by UTF-16 code unit."""
    return sorted(names, key=lambda name: name.encode("utf-16-be"))


@PROPERTY_SETTINGS
@given(display_data)
# Whole numbers beyond the integers that a double holds exactly come back as
# the same double: written without a point, as "9223372036854776000" for
# 2**63, which Python's json reads as an int of another value.
@example({"2**63": {"default_uncertainty": 2.0**63}, "1e300": {"default_uncertainty": 1e300}})
def test_display_data_comes_back_with_selected_filled_in(data):
    dialog = KelvaraDisplay()
    dialog.setDisplayData(json.dumps(data))
    out = dialog.displayData()
    assert isinstance(out, str)
    # The display data keeps numbers as doubles, so they are compared as such.
    back = json.loads(out, parse_int=float)
    assert back == {name: {**fields, "selected": fields.get("selected", True)} for name, fields in data.items()}
    assert list(back) == utf16_order(data)
    dialog.setDisplayData(out)
    assert dialog.displayData() == out


@PROPERTY_SETTINGS
@given(display_data, non_text)
def test_display_rejects_non_text_and_keeps_its_data(data, wrong):
    dialog = KelvaraDisplay()
    dialog.setDisplayData(json.dumps(data))
    before = dialog.displayData()
    with pytest.raises(TypeError):
        dialog.setDisplayData(wrong)
    assert dialog.displayData() == before


group_names = st.text(st.characters(blacklist_categories=["Cs"]), max_size=8).map(lambda name: "G:" + name)
library_lists = st.lists(text.map(lambda name: "L:" + name), max_size=5)
library_map = st.dictionaries(group_names, library_lists, max_size=6)


def check_every_group(groups):
    for name in groups:
        kelvarahost.toggle_item("KelvaraSelection", "treeWidget", name)


@PROPERTY_SETTINGS
@given(library_map)
def test_selection_lists_checked_libraries_in_group_order(groups):
    dialog = KelvaraSelection()
    dialog.setAvailableItems(groups)
    assert dialog.selectedItems() == []
    check_every_group(groups)
    expected = [library for name in utf16_order(groups) for library in groups[name]]
    assert dialog.selectedItems() == expected
    assert dialog.aggregationMode() == "compound"


@PROPERTY_SETTINGS
@given(library_map, non_text, st.booleans())
def test_selection_rejects_non_text_and_stays_as_it_was(groups, wrong, as_key):
    dialog = KelvaraSelection()
    dialog.setAvailableItems(groups)
    check_every_group(groups)
    before = dialog.selectedItems()
    bad = dict(groups)
    if as_key:
        bad[wrong if isinstance(wrong, (int, float, type(None), tuple)) else 0] = ["L:x"]
    else:
        bad["G:bad"] = ["L:fine", wrong]
    with pytest.raises(TypeError):
        dialog.setAvailableItems(bad)
    assert dialog.selectedItems() == before
    dialog.setAvailableItems({"G:after": ["L:after"]})
    check_every_group(["G:after"])
    assert dialog.selectedItems() == before + ["L:after"]
