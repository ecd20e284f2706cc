"""The module as a script sees it: import, classes, constructors, delete, threads."""

import ast
import glob
import io
import os
import subprocess
import sys
import threading

import pytest

import KelvaraWidgets
import kelvarahost

CLASSES = ["ProgressDialog", "KelvaraDisplay", "KelvaraSelection"]
STANDARD_MODULE_ATTRIBUTES = {"__name__", "__doc__", "__package__", "__loader__", "__spec__", "__file__"}


def test_module_holds_exactly_the_three_classes_in_order():
    names = list(vars(KelvaraWidgets))
    assert set(names) - STANDARD_MODULE_ATTRIBUTES == set(CLASSES)
    assert [name for name in names if name in CLASSES] == CLASSES


def test_module_entry_is_the_only_export():
    listing = subprocess.run(["nm", "-D", "--defined-only", KelvaraWidgets.__file__],
                             check=True, capture_output=True, text=True).stdout
    symbols = [line.split()[-1] for line in listing.splitlines()]
    assert [symbol for symbol in symbols if symbol not in ("_init", "_fini")] == ["PyInit_KelvaraWidgets"]


@pytest.mark.parametrize("name", CLASSES)
def test_class_identity(name):
    cls = getattr(KelvaraWidgets, name)
    assert cls.__module__ == "KelvaraWidgets"
    assert cls.__name__ == name
    assert "_pybind11_conduit_v1_" in vars(cls)
    assert cls.__init__.__doc__.strip() == f"__init__(self: KelvaraWidgets.{name}) -> None"
    own = [attr for attr in vars(cls) if not attr.startswith("__")]
    assert own[0] == "_pybind11_conduit_v1_"
    assert own[-1] == "delete"


@pytest.mark.parametrize("name", CLASSES)
def test_new_dialog_is_hidden_and_goes_with_its_object(name):
    dialog = getattr(KelvaraWidgets, name)()
    assert kelvarahost.find_dialog(name)["visible"] is False
    del dialog
    assert kelvarahost.find_dialog(name) is None


@pytest.mark.parametrize("name", CLASSES)
@pytest.mark.parametrize("args", [(None,), (0,), ("parent",)])
def test_constructor_takes_no_argument(name, args):
    with pytest.raises(TypeError, match="incompatible constructor arguments"):
        getattr(KelvaraWidgets, name)(*args)


@pytest.mark.parametrize("name", CLASSES)
def test_instances_take_no_new_attributes(name):
    dialog = getattr(KelvaraWidgets, name)()
    with pytest.raises(AttributeError):
        dialog.note = "x"


@pytest.mark.parametrize("name", CLASSES)
def test_delete_prints_notice_each_time_and_keeps_dialog(name, monkeypatch):
    dialog = getattr(KelvaraWidgets, name)()
    writes = []

    class Recorder(io.StringIO):
        def write(self, text):
            writes.append(text)
            return super().write(text)

    monkeypatch.setattr(sys, "stdout", Recorder())
    assert dialog.delete() is None
    assert dialog.delete() is None
    notice = f"{name}::delete function is no longer necessary"
    assert writes == [notice, "\n", notice, "\n"]
    assert kelvarahost.find_dialog(name) is not None


def test_delete_with_stdout_none_raises_attribute_error(monkeypatch):
    dialog = KelvaraWidgets.ProgressDialog()
    monkeypatch.setattr(sys, "stdout", None)
    with pytest.raises(AttributeError):
        dialog.delete()


def test_python_subclass_must_call_base_init():
    class Forgetful(KelvaraWidgets.ProgressDialog):
        def __init__(self):
            pass

    class Careful(KelvaraWidgets.ProgressDialog):
        def __init__(self):
            super().__init__()

    with pytest.raises(TypeError):
        Forgetful()
    assert Careful().cancelled() is False


def test_method_of_other_class_rejects_self():
    with pytest.raises(TypeError, match="incompatible function arguments"):
        KelvaraWidgets.ProgressDialog.cancelled(KelvaraWidgets.KelvaraSelection())


# Each snippet runs in a host of its own, so that a crash fails one case only.
MISUSE_PRELUDE = r"""
import copy, pickle, re
from KelvaraWidgets import KelvaraDisplay, KelvaraSelection, ProgressDialog
CLASSES = [ProgressDialog, KelvaraDisplay, KelvaraSelection]
VALID = {"str": "text", "bool": True, "dict[str, list[str]]": {"g": ["a"]}}

def other(cls):
    return next(candidate for candidate in CLASSES if candidate is not cls)

# Each method and property accessor of the class, as a function of self that
# passes valid arguments of the types its signature names.
def every_call(cls):
    for name, attr in vars(cls).items():
        if name.startswith("_"):
            continue
        for function in [attr.fget, attr.fset] if isinstance(attr, property) else [attr]:
            types = re.findall(r"\w+: (.*?)(?=, \w+: |\) ->)", function.__doc__)[1:]
            args = [VALID[type_name] for type_name in types]
            yield name, lambda self, function=function, args=args: function(self, *args)

def refused(call, what):
    try:
        call()
    except TypeError:
        return
    raise AssertionError(f"{what} did not raise TypeError")

def every_call_refuses(make_self):
    for cls in CLASSES:
        for name, call in every_call(cls):
            refused(lambda: call(make_self(cls)), f"{cls.__name__}.{name}")
"""


@pytest.mark.parametrize("snippet", [
    pytest.param("every_call_refuses(lambda cls: None)", id="None"),
    pytest.param("every_call_refuses(lambda cls: other(cls)())", id="another dialog class"),
    pytest.param("every_call_refuses(lambda cls: cls.__new__(cls))", id="__new__ without __init__"),
    pytest.param("""
kept = []
def half_built(cls):
    class Failing(cls):
        def __init__(self):
            kept.append(self)
            raise ValueError("before the base __init__")
    try:
        Failing()
    except ValueError:
        return kept.pop()
every_call_refuses(half_built)
""", id="subclass __init__ raised"),
    pytest.param("""
def copied(cls):
    class Stateful(cls):
        def __getstate__(self):
            return {}
        def __setstate__(self, state):
            pass
    return copy.copy(Stateful())
every_call_refuses(copied)
""", id="copy with __setstate__"),
    pytest.param("""
for cls in CLASSES:
    for target in (other(cls), type("Derived", (other(cls),), {"__slots__": ()})):
        dialog = cls()
        refused(lambda: setattr(dialog, "__class__", target), f"{cls.__name__} to {target.__name__}")
""", id="__class__ assignment"),
    pytest.param("""
for cls in CLASSES:
    dialog = cls()
    refused(lambda: pickle.dumps(dialog, 0), "protocol 0")
    refused(lambda: pickle.dumps(dialog, 1), "protocol 1")
    refused(dialog.__reduce__, "__reduce__")
    refused(type(dialog).__base__, "__base__")
    refused(type("Derived", (type(dialog).__base__,), {}), "subclass of __base__")
""", id="old pickle protocols and the base"),
])
def test_misuse_raises_type_error_and_host_lives(snippet, new_host):
    result = new_host(MISUSE_PRELUDE + snippet + "\nprint('host lives')\n")
    assert result.returncode == 0, result.stderr
    assert result.stdout == "host lives\n"


IMPORT_TWICE = """
        for attempt in range(2):
            try: import KelvaraWidgets
            except ImportError as error: print(error)
        """


@pytest.mark.parametrize("snippet, expected", [
    pytest.param("""
        import _interpreters, sys
        interpreter = _interpreters.create(_interpreters.new_config("legacy"))
        print(_interpreters.exec(interpreter, "import KelvaraWidgets; KelvaraWidgets.KelvaraDisplay()").msg)
        _interpreters.destroy(interpreter)
        import KelvaraWidgets
        sys.stdout = None  # delete() raises through pybind11
        try:
            KelvaraWidgets.KelvaraDisplay().delete()
        except AttributeError:
            print(KelvaraWidgets.KelvaraDisplay.__name__, file=sys.__stdout__)
        """, "KelvaraWidgets: dialogs can only be created in the main interpreter, not in a sub-interpreter\n"
             "KelvaraDisplay\n", id="sub-interpreter first"),
    pytest.param("""
        import ctypes
        while ctypes.pythonapi.Py_AtExit(ctypes.cast(ctypes.CDLL(None).getpid, ctypes.c_void_p)) == 0:
            pass
        """ + IMPORT_TWICE, "KelvaraWidgets: no room left for its exit function (Py_AtExit)\n" * 2, id="last step failed"),
    pytest.param("""
        import sys
        def refuse(event, args):
            if event == "object.__setattr__":
                raise MemoryError
        sys.addaudithook(refuse)
        """ + IMPORT_TWICE, "initialization failed\nKelvaraWidgets: pybind11 could not set up its state in an "
                            "earlier import; this process cannot import the module\n", id="pybind11 set-up failed"),
])
def test_failed_import_is_reported_and_leaves_no_class_behind(snippet, expected, new_host):
    result = new_host(snippet)
    assert result.stdout == expected, result.stderr


@pytest.mark.parametrize("name", CLASSES)
def test_calls_from_another_thread_raise_runtime_error(name):
    dialog = getattr(KelvaraWidgets, name)()
    dropped = [getattr(KelvaraWidgets, name)()]
    method = next(attr for attr in vars(type(dialog)) if not attr.startswith("_") and attr != "delete")
    errors = []

    def worker():
        for call in (lambda: getattr(KelvaraWidgets, name)(), getattr(dialog, method)):
            try:
                call()
            except RuntimeError as error:
                errors.append(str(error))
            except TypeError:
                errors.append("TypeError")
        dropped.clear()

    thread = threading.Thread(target=worker)
    thread.start()
    thread.join()
    assert len(errors) == 2
    assert all("thread" in error for error in errors), errors
    # The dialog whose last reference died on the worker goes at the next event pass.
    kelvarahost.process_events()
    assert kelvarahost.top_levels() == [name]


def test_dialog_without_qapplication_raises_runtime_error():
    script = (
        "import KelvaraWidgets\n"
        "for name in ('ProgressDialog', 'KelvaraDisplay', 'KelvaraSelection'):\n"
        "    try:\n"
        "        getattr(KelvaraWidgets, name)()\n"
        "    except RuntimeError as error:\n"
        "        print(error)\n"
    )
    env = dict(os.environ, PYTHONPATH=os.path.dirname(KelvaraWidgets.__file__))
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, env=env, timeout=60)
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert len(lines) == 3
    assert all("QApplication must exist" in line for line in lines)


def other_pythons():
    """Interpreters of other minor versions on this machine (pyenv's, Debian's)."""
    found = {}
    pyenv_root = os.environ.get("PYENV_ROOT", os.path.expanduser("~/.pyenv"))
    for path in sorted(glob.glob(f"{pyenv_root}/versions/3.*/bin/python3")) + sorted(glob.glob("/usr/bin/python3.[0-9]*")):
        if not os.access(path, os.X_OK) or path.endswith("-config"):
            continue
        version = subprocess.run([path, "-c", "import sys; print(sys.version_info[1])"],
                                 capture_output=True, text=True).stdout.strip()
        if version.isdigit() and int(version) != 13 and int(version) >= 8:
            found.setdefault(int(version), path)
    return list(found.values())


LOAD_ELSEWHERE = """
import importlib.machinery, importlib.util, os, sys
# Bind lazily, so that the module's own version check runs before the loader
# trips over an API the other interpreter lacks.
sys.setdlopenflags(os.RTLD_LAZY)
path = sys.argv[1]
loader = importlib.machinery.ExtensionFileLoader("KelvaraWidgets", path)
module_spec = importlib.util.spec_from_file_location("KelvaraWidgets", path, loader=loader)
try:
    importlib.util.module_from_spec(module_spec)
except ImportError as error:
    print(repr(str(error)))
    print(repr(sys.version))
"""


# Built beside the module; preloaded, it makes Py_GetVersion report the text
# that KELVARA_PYTHON_VERSION holds.
OTHER_VERSION_STUB = os.path.join(os.path.dirname(KelvaraWidgets.__file__), os.pardir, "tests",
                                  "other_python_version.so")


@pytest.mark.parametrize("python, version_text", [(python, None) for python in other_pythons()] + [
    (None, "3.12.4 (main, Jun  6 2024, 18:26:44) [GCC 12.2.0]"),
    (None, "3.130.0 (main) [GCC]"),
])
def test_import_under_other_minor_version_fails_with_version_text(python, version_text):
    env = dict(os.environ)
    if version_text is not None:
        # The host itself, whose interpreter reports another version.
        python = os.readlink("/proc/self/exe")
        env["LD_PRELOAD"] = " ".join(filter(None, [env.get("LD_PRELOAD"), OTHER_VERSION_STUB]))
        env["KELVARA_PYTHON_VERSION"] = version_text
    result = subprocess.run([python, "-c", LOAD_ELSEWHERE, KelvaraWidgets.__file__],
                            capture_output=True, text=True, env=env, timeout=60)
    assert result.returncode == 0, result.stderr
    message, version = map(ast.literal_eval, result.stdout.splitlines())
    assert message == ("Python version mismatch: module was compiled for Python 3.13, "
                       f"but the interpreter version is incompatible: {version_text or version}.")


def test_host_reports_callback_exceptions():
    def failing():
        raise ValueError("from the event loop")

    kelvarahost.call_later(0, failing)
    kelvarahost.process_events()
    with pytest.raises(ValueError, match="from the event loop"):
        kelvarahost.raise_pending_error()
