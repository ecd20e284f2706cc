"""Shared fixtures for the suites that run inside kelvara-host."""

import gc
import os
import subprocess
import textwrap

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


@pytest.fixture
def new_host():
    """Run a script in a fresh host process (this very binary) and return the result."""
    def run(source):
        host = os.readlink("/proc/self/exe")
        return subprocess.run([host, "-c", textwrap.dedent(source)], capture_output=True, text=True, timeout=120)
    return run
