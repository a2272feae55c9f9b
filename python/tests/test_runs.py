"""Sweeps, time runs and the channel test on the simulated board (5600 ohms on each channel)."""
import signal
import subprocess

import numpy as np
import pytest

import kv4410
from conftest import Traced, entry

READ_BACKS = ["W 003FE4A0", "W 1FC00000", "R", "W 10000000", "R"]
ADC = ["232", "233"]


def test_sweep_words_and_rows(rig, tmp_path):
    r = rig.bench.sweep(0.0, 1.0, 500)
    # Codes 0x8000 + k * [65536 * 0.5 / 22.5] = 0x8000 + k * 1456 on all four channels.
    assert rig.sent() == READ_BACKS + ["W 0F21B300", "W 0FCD8000"] + ADC + \
        ["W 0FCD85B0"] + ADC + ["W 0FCD8B60"] + ADC
    assert r.word.tolist() == [0x0FCD8000, 0x0FCD85B0, 0x0FCD8B60]
    assert r.code.tolist() == [32768, 34224, 35680]
    # 5 * a * 5 / 65536 - 3.5 * 5 * 42130 / 65536 for a = 29491, 30802, 32112
    assert r.adc_code.tolist() == [29491, 30802, 32112]
    assert r.measured == pytest.approx([0.0, 0.50010681, 0.99983215], abs=1e-8)
    assert (r.min, r.max, r.state, r.failed.any()) == (0.0, pytest.approx(0.99983215), "finished",
                                                      False)
    r.to_csv(tmp_path / "sweep.csv")
    rows = [l for l in (tmp_path / "sweep.csv").read_text().splitlines() if l[0] != "#"]
    assert rows[0].endswith(",sample time,status") and rows[2] == \
        "1,265127344,34224,0.499954223632812,30802,2.35000610351562,0.500106811523438,0,0"
    with pytest.raises(OSError, match="cannot write"):
        r.to_csv(tmp_path / "missing" / "sweep.csv")


def test_time_run(rig):
    r = rig.bench.time_run(1.0, channels=[1], cycle_delay="none", sample_delay=5)
    # PMU1's force word, then 101 readings, 0.1 ms apart after a 0.05 ms settling wait.
    assert rig.sent() == READ_BACKS + ["W 0221B300", "W 003FE4A0", "W 1FC00000", "R",
                                       "W 02CD8B60"] + ADC * 101
    assert len(r) == 101 and r.time[:2] == pytest.approx([0.00005, 0.00015], abs=1e-9)
    # The four channels' measure outputs share the ADC: (1 V + 0 + 0 + 0) / 4.
    assert r.measured == pytest.approx(np.full(101, 0.25), abs=1e-3)


@pytest.mark.parametrize("simulate, verdict, failing", [
    (True, "PASS", []), ("load2=9000", "FAILURE", [(2, 3), (2, 4)]),
])
def test_channel_test(tmp_path, simulate, verdict, failing):
    rig = Traced(tmp_path / "trace.txt", simulate)
    t = rig.bench.channel_test()
    got = [(c, k) for c, k, ok in zip(t.readings["channel"], t.readings["check"],
                                       t.readings["passed"]) if not ok]
    assert (t.verdict, got, len(t.lines)) == (verdict, failing, 49 + 2 * len(failing))
    assert rig.sent().count("233") == 16


def test_ctrl_c_keeps_the_rows_measured(rig):
    def stop_at_third(done, planned):
        if done == 3:
            raise KeyboardInterrupt

    with pytest.raises(KeyboardInterrupt) as caught:
        rig.bench.sweep(0.0, 1.0, 100, progress=stop_at_third)
    r = caught.value.result
    # [65536 * 0.1 / 22.5] = 291 codes a step; the board keeps the third step, fully read.
    assert (r.state, r.code.tolist()) == ("stopped", [32768, 33059, 33350])
    assert rig.sent()[-3:] == ["W 0FCD8246", "232", "233"] and rig.bench.last_run is r

    def sigint_at_fifth(done, planned):
        if done == 5:
            signal.raise_signal(signal.SIGINT)

    # Ctrl-C as Python handles it by default, even where the run inherited SIGINT ignored (a
    # job started in the background of a script).
    previous = signal.signal(signal.SIGINT, signal.default_int_handler)
    try:
        with pytest.raises(KeyboardInterrupt) as caught:
            rig.bench.time_run(1.0, progress=sigint_at_fifth)
    finally:
        signal.signal(signal.SIGINT, previous)
    assert (caught.value.result.state, len(caught.value.result)) == ("stopped", 5)
    assert rig.sent()[-2:] == ADC


def test_refused_runs_send_nothing(rig):
    for call, says in [(lambda: rig.bench.sweep(1.0, 0.0, 100), "End Voltage must be greater"),
                       (lambda: rig.bench.sweep(0.0, 11.3, 100), "between -11.25 and \\+11.25"),
                       (lambda: rig.bench.sweep(0.0, 1.0, 1000.5), "between 0 and 1000"),
                       (lambda: rig.bench.time_run(0.0, vref=3.3), "vref must be 2.5 or 5"),
                       (lambda: rig.bench.time_run(0.0, sample_delay=10), "items 0 to 9")]:
        with pytest.raises(ValueError, match=says):
            call()
    assert rig.sent() == []


def test_board_lost_mid_sweep(tmp_path):
    rig = Traced(tmp_path / "trace.txt", "fail-after=40")
    with pytest.raises(kv4410.BoardError) as caught:
        rig.bench.sweep(0.0, 1.0, 10)
    assert (caught.value.status, caught.value.text) == (3005, "3005 - XFER INCOMPLETE")
    assert caught.value.result.state == "board lost" and len(caught.value.result) == 8


def test_cli_and_python_send_the_same_sweep(rig, ctl, tmp_path):
    trace = tmp_path / "cli.txt"
    subprocess.run([ctl, "--simulate", "--trace", str(trace), "sweep", "--start", "-1", "--end",
                    "1", "--step", "1000", "--channels", "0,2", "--range", "200uA", "--measure",
                    "current"], check=True, stdout=subprocess.DEVNULL)
    cli = [entry(line) for line in trace.read_text().splitlines()]
    cli = cli[cli.index("224") + 1:]
    rig.bench.current_range, rig.bench.measure = "200uA", "current"
    rig.sent()
    rig.bench.sweep(-1.0, 1.0, 1000, channels=[0, 2])
    # PMU0 and PMU2, 200 uA, measure current; codes 0x749F, 0x8000 and the final point 0x8B60.
    words = READ_BACKS + ["W 05211300", "W 05CD749F"] + ADC + ["W 05CD8000"] + ADC + \
        ["W 05CD8B60"] + ADC
    assert rig.sent() == words and cli == words


def test_to_pandas(rig):
    pandas = pytest.importorskip("pandas")
    frame = rig.bench.sweep(0.0, 1.0, 500).to_pandas()
    assert isinstance(frame, pandas.DataFrame) and frame["code"].tolist() == [32768, 34224, 35680]
