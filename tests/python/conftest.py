"""Shared fixtures for the suites that run inside kelvara-host."""

import gc

import pytest

kelvarahost = pytest.importorskip("kelvarahost", reason="these tests run inside kelvara-host")


@pytest.fixture(autouse=True)
def host_checks():
    """Fail a test that leaves a window behind or whose call_later callback raised."""
    yield
    gc.collect()
    kelvarahost.process_events()
    kelvarahost.raise_pending_error()
    assert kelvarahost.top_levels() == [], "a dialog outlived its test"
