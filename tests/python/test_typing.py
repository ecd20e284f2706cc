"""The type stubs shipped beside the module: complete, and good enough for mypy."""

import ast
import os
import subprocess
import sys

import pytest

import KelvaraWidgets

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
STUB = os.path.join(os.path.dirname(KelvaraWidgets.__file__), "KelvaraWidgets.pyi")


def stub_classes():
    tree = ast.parse(open(STUB, encoding="utf-8").read())
    classes = {}
    for node in tree.body:
        if isinstance(node, ast.ClassDef):
            names = [item.name for item in node.body if isinstance(item, ast.FunctionDef)]
            classes[node.name] = list(dict.fromkeys(names))  # a property's getter and setter once
    return classes


def test_stub_lies_beside_module():
    assert os.path.isfile(STUB)


def test_stub_names_every_class_and_method_in_order():
    runtime = {
        name: [attr for attr in vars(cls) if attr == "__init__" or not attr.startswith("_")]
        for name, cls in vars(KelvaraWidgets).items() if isinstance(cls, type)
    }
    for methods in runtime.values():
        methods.remove("__init__")
        methods.insert(0, "__init__")
    assert stub_classes() == runtime


@pytest.mark.parametrize("script", ["examples/demo.py", "tests/typing/every_method.py"])
def test_mypy_accepts_scripts(script):
    stub_dirs = os.pathsep.join([os.path.dirname(STUB), os.path.join(ROOT, "host")])
    result = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-incremental", "--cache-dir", os.devnull,
         os.path.join(ROOT, script)],
        capture_output=True, text=True, env=dict(os.environ, MYPYPATH=stub_dirs), timeout=300)
    assert result.returncode == 0, result.stdout + result.stderr


def test_mypy_rejects_wrong_types(tmp_path):
    wrong = tmp_path / "wrong.py"
    wrong.write_text(
        "from KelvaraWidgets import KelvaraSelection, ProgressDialog\n"
        "ProgressDialog().setMessage(3)\n"
        "KelvaraSelection().setAvailableItems(['not', 'a', 'dict'])\n")
    result = subprocess.run(
        [sys.executable, "-m", "mypy", "--strict", "--no-incremental", "--cache-dir", os.devnull, str(wrong)],
        capture_output=True, text=True, env=dict(os.environ, MYPYPATH=os.path.dirname(STUB)), timeout=300)
    assert result.returncode == 1
    assert result.stdout.count("error:") == 2, result.stdout
