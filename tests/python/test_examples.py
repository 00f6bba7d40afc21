"""The Python examples of README.md and docs/python.md run as printed."""

import importlib.util
import os
import re
import subprocess
import sys
from pathlib import Path

import quorra
from conftest import TESTDATA

ROOT = Path(__file__).resolve().parents[2]


def test_examples_run(tmp_path):
    (tmp_path / "tests").mkdir()
    (tmp_path / "tests" / "data").symlink_to(TESTDATA)
    # The module the tests import, wherever the examples run.
    environment = dict(os.environ, MPLBACKEND="Agg", PYTHONPATH=str(Path(quorra.__file__).parent))
    for document in ["README.md", "docs/python.md"]:
        blocks = re.findall(r"```python\n(.*?)```", (ROOT / document).read_text(), re.S)
        assert blocks, document
        for block in blocks:
            (tmp_path / "example.png").unlink(missing_ok=True)
            done = subprocess.run([sys.executable, "-c", block], cwd=tmp_path, env=environment,
                                  capture_output=True, text=True, timeout=120)
            assert done.returncode == 0, document + ":\n" + done.stderr
            # The plot is drawn when matplotlib is installed, and only then.
            has_matplotlib = importlib.util.find_spec("matplotlib") is not None
            assert (tmp_path / "example.png").exists() == has_matplotlib, document


def test_help_shows_every_parameter_and_the_stubs_every_function():
    import ast

    for p in quorra.parameters():
        for function in [quorra.simulate, quorra.fit]:
            line = next(l for l in function.__doc__.splitlines() if l.split()[:1] == [p["name"]])
            unit = p["unit"].split() or ["-"]
            assert line.split()[1:len(unit) + 2] == unit + [p["default"]], line
        assert p["meaning"] in line and p["meaning"] in quorra.__doc__
    assert [p["default"] for p in quorra.parameters()][:2] == ["9.6", "2.05"]
    stubs = Path(quorra.__file__).with_name("quorra.pyi")
    declared = {node.name for node in ast.parse(stubs.read_text()).body
                if isinstance(node, (ast.FunctionDef, ast.ClassDef))}
    public = {name for name in dir(quorra) if not name.startswith("_")}
    assert public <= declared, public - declared
