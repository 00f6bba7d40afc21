"""Shared fixtures of the Python module's tests.

The tests import the module from the build tree (ctest puts it on
PYTHONPATH) and skip themselves when it was not built. The comparisons with
the command line run the quorra program named by QUORRA_CLI.
"""

import os
import subprocess
from pathlib import Path

import pytest

quorra = pytest.importorskip("quorra")

TESTDATA = Path(os.environ.get("QUORRA_TESTDATA_DIR", Path(__file__).resolve().parents[1] / "data"))


@pytest.fixture(scope="session")
def bruker_dir():
    return TESTDATA / "bruker"


@pytest.fixture(scope="session")
def cli():
    """Runs the quorra program; returns (exit code, stdout, stderr)."""
    program = os.environ.get("QUORRA_CLI")
    if not program or not os.access(program, os.X_OK):
        pytest.skip("the quorra program was not built (QUORRA_CLI)")

    def run(*arguments):
        done = subprocess.run([program, *arguments], capture_output=True, text=True, timeout=300)
        return done.returncode, done.stdout, done.stderr

    return run


def cli_message(stderr):
    """The command line's message lines without their "quorra: " prefix."""
    return "\n".join(line.removeprefix("quorra: ") for line in stderr.splitlines())
