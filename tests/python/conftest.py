# SPDX-License-Identifier: GPL-3.0-or-later
"""The binding's tests run on the simulated EVM; ctest sets PYTHONPATH to the
built package and EVMCTL to the evmctl of the same build."""

import json
import os
import subprocess

import pytest

import zm5520evm

EVMCTL = os.environ.get("EVMCTL", "")
EXAMPLES = os.environ.get("EVM_EXAMPLES_DIR", "")


@pytest.fixture(autouse=True)
def own_state_folder(tmp_path_factory, monkeypatch):
    """open()'s default state folder is the GUI's and evmctl's: a test that
    does not name one keeps its state in a folder of its own all the same.
    zm5520evm.default_state_folder() itself stays the real one."""
    folder = tmp_path_factory.mktemp("state")
    monkeypatch.setattr(zm5520evm._bench, "default_state_folder", lambda: folder)
    return folder


@pytest.fixture
def bench(tmp_path):
    with zm5520evm.open(simulate=True, fake_clock=True, state_folder=tmp_path) as b:
        yield b


def start_evmctl(folder, args):
    """evmctl --simulate --json on a board of its own, keeping its state in
    `folder`. It waits in real time, so the runs a test needs are started
    together and read with evmctl_document()."""
    assert os.access(EVMCTL, os.X_OK), f"EVMCTL={EVMCTL!r} is not the built evmctl"
    return subprocess.Popen(
        [EVMCTL, "--simulate", "--json", "--config-dir", str(folder), *args],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def evmctl_document(run, lines=False):
    """The document, or with `lines` each line's (monitor)."""
    out, err = run.communicate(timeout=20)
    assert run.returncode == 0, err
    docs = [json.loads(line) for line in out.splitlines()]
    return docs if lines else docs[0]
