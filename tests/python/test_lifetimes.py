"""Dialogs come and go with their Python objects: no leaks, no crashes, a usable host."""

import gc
import json
import os

import pytest

import kelvarahost
from KelvaraWidgets import KelvaraDisplay, KelvaraSelection, ProgressDialog
from userrun import run_with_user

ASSAYS = json.dumps({f"Assay {n}": {"alias": f"A{n}", "default_uncertainty": 0.1 * n,
                                    "selected": n % 2 == 0} for n in range(30)})
LIBRARIES = {f"Group {g}": [f"KL-{g}-{n}" for n in range(20)] for g in range(5)}


def cycle_progress():
    dialog = ProgressDialog()
    dialog.setMessage("Working")
    dialog.show()
    dialog.tick()
    del dialog


def cycle_plain_shown():
    dialog = kelvarahost.PlainDialog()
    dialog.show()
    kelvarahost.process_events()
    del dialog


def run_and_press(dialog, button):
    return run_with_user(dialog, kelvarahost.process_events,
                         lambda: kelvarahost.press(type(dialog).__name__, button))[0]


def cycle_display():
    dialog = KelvaraDisplay()
    dialog.setDisplayData(ASSAYS)
    assert run_and_press(dialog, "Ok") is True


def cycle_selection():
    dialog = KelvaraSelection()
    dialog.setAvailableItems(LIBRARIES)
    assert run_and_press(dialog, "Cancel") is False


def cycle_plain_run():
    assert run_and_press(kelvarahost.PlainDialog(), "Cancel") is False


def resident_kib():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE") // 1024


def resident_growth_kib(cycle, times):
    gc.collect()
    before = resident_kib()
    for _ in range(times):
        cycle()
    gc.collect()
    return resident_kib() - before


@pytest.mark.parametrize("cycle, plain_cycle", [(cycle_progress, cycle_plain_shown),
                                                (cycle_display, cycle_plain_run),
                                                (cycle_selection, cycle_plain_run)])
def test_memory_stays_flat_over_a_thousand_dialogs(cycle, plain_cycle):
    # On xcb Qt itself keeps a few KiB for every dialog it has shown, so the
    # dialogs are measured against a plain one with the same button box.
    # Both warm up first, so that neither pays for the other's first growth.
    resident_growth_kib(plain_cycle, 100)
    resident_growth_kib(cycle, 100)
    plain = resident_growth_kib(plain_cycle, 900)
    grown = resident_growth_kib(cycle, 900)
    # One dialog leaked per cycle would be over 100 MiB here.
    assert grown - plain < 4096, f"900 dialogs grew by {grown} KiB, 900 plain ones by {plain} KiB"
    assert kelvarahost.top_levels() == []


def test_dialog_dropped_inside_its_own_run_lives_until_run_returns():
    holder = {"dialog": KelvaraDisplay()}
    holder["dialog"].setDisplayData(ASSAYS)

    def drop_then_cancel():
        del holder["dialog"]
        gc.collect()
        assert kelvarahost.find_dialog("KelvaraDisplay")["visible"] is True
        kelvarahost.press("KelvaraDisplay", "Cancel")

    assert run_with_user(holder["dialog"], drop_then_cancel)[0] is False
    assert kelvarahost.find_dialog("KelvaraDisplay") is None


@pytest.mark.parametrize("own", [False, True], ids=["another dialog", "its own"])
def test_nested_runs_unwind_in_order(own, capfd):
    outer = KelvaraSelection()
    outer.setAvailableItems(LIBRARIES)
    results = []

    def open_inner():
        if own:
            with pytest.raises(RuntimeError, match="while the same dialog's run"):
                outer.run()
        else:
            inner = KelvaraDisplay()
            inner.setDisplayData(ASSAYS)
            results.append(run_with_user(inner, lambda: kelvarahost.press("KelvaraDisplay", "Ok"))[0])
        kelvarahost.press("KelvaraSelection", "Cancel")

    results.append(run_with_user(outer, open_inner)[0])
    assert results == [True, False][own:]
    assert "Recursive call" not in capfd.readouterr().err


def test_exception_inside_run_reaches_script_and_host_stays_usable():
    dialog = KelvaraDisplay()

    def broken():
        raise LookupError("no such assay")

    kelvarahost.call_later(0, broken)
    assert dialog.run() is False
    with pytest.raises(LookupError, match="no such assay"):
        kelvarahost.raise_pending_error()

    assert run_with_user(dialog, lambda: kelvarahost.press("KelvaraDisplay", "Ok"))[0] is True


def test_script_ending_with_dialogs_shown_exits_cleanly(new_host):
    result = new_host("""
        import atexit, threading
        # A daemon thread drops the last dialog once the exit handlers run.
        exiting, dropped = threading.Event(), threading.Event()
        atexit.register(lambda: exiting.set() or dropped.wait())
        import KelvaraWidgets, kelvarahost
        progress = KelvaraWidgets.ProgressDialog()
        progress.show()
        progress.tick()
        display = KelvaraWidgets.KelvaraDisplay()
        display.setDisplayData('{"IC50": {}}')
        selection = KelvaraWidgets.KelvaraSelection()
        selection.setAvailableItems({"Internal": ["KL-1"]})
        cycle = [progress, display, selection]
        cycle.append(cycle)  # collected only at shutdown
        print("left", sorted(kelvarahost.top_levels()))
        daemons = [KelvaraWidgets.ProgressDialog()]
        def drop_at_exit():
            exiting.wait()
            daemons.clear()
            dropped.set()
        threading.Thread(target=drop_at_exit, daemon=True).start()
        raise SystemExit(3)
        """)
    assert result.returncode == 3, result.stderr
    assert "left ['KelvaraDisplay', 'KelvaraSelection', 'ProgressDialog']" in result.stdout
    assert "outlived the interpreter" not in result.stderr


def test_uncaught_exception_in_callback_during_run_exits_with_traceback(new_host):
    result = new_host("""
        import KelvaraWidgets, kelvarahost
        def broken():
            raise RuntimeError("callback failed")
        dialog = KelvaraWidgets.KelvaraSelection()
        kelvarahost.call_later(0, broken)
        print("run returned", dialog.run())
        kelvarahost.raise_pending_error()
        """)
    assert result.returncode == 1
    assert "run returned False" in result.stdout
    assert "RuntimeError: callback failed" in result.stderr
