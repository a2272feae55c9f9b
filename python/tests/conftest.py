"""A simulated board with its trace for each test, read back as compact entries."""
import os
import pathlib

import pytest

import kv4410


def entry(line):
    """'W 0F21B300' for a word, 'R' for a readback, '232' for another request."""
    parts = line.split()
    if parts[0] != "request":
        return parts[0]
    value, index, direction = parts[2][6:], parts[3][6:], parts[4]
    if parts[1] == "221":
        return "R" if direction == "in" else "W " + index + value
    return parts[1] if int(value, 16) == 0 else parts[1] + "=" + str(int(value, 16))


class Traced:
    """A bench on the simulated board; sent() gives the traffic since the last call."""

    def __init__(self, path, simulate=True):
        self.path = path
        self.bench = kv4410.open(simulate=simulate, trace=path)
        self.mark = len(self.lines())

    def lines(self):
        return pathlib.Path(self.path).read_text().splitlines()

    def sent(self):
        lines = self.lines()
        recent, self.mark = lines[self.mark:], len(lines)
        return [entry(line) for line in recent]


@pytest.fixture
def rig(tmp_path):
    traced = Traced(tmp_path / "trace.txt")
    yield traced
    traced.bench.close()


@pytest.fixture
def ctl():
    """kv4410ctl of the same build: $KV4410CTL, else beside the module's build folder."""
    path = os.environ.get("KV4410CTL") or str(
        pathlib.Path(kv4410.__file__).parents[2] / "src" / "cli" / "kv4410ctl")
    assert os.access(path, os.X_OK), f"kv4410ctl not found at {path}"
    return path
