"""A channel set up in volts and amps sends the PMU control window's words."""
import pytest

PMU = "W 0F21B300"      # the start-up PMU word: force voltage, 2 mA, measure voltage
PMU_I = "W 0F29B300"    # the same with force current
GAIN = ["W 10000000", "R"]  # the current-measure gain read back


def test_force_voltage(rig):
    assert rig.bench.force_voltage(1.0) == 0x8B60
    # Range handler, force handler, the word once more, then FIN x1 of the voltage range.
    assert rig.sent() == [PMU, PMU, PMU, "W 0FCD8B60"]


def test_force_current(rig):
    assert rig.bench.force_current(1e-3, range="2mA") == 0xB8E4
    choose = GAIN + [PMU_I] + GAIN + [PMU_I]
    enter = [PMU_I] + GAIN + GAIN + [PMU_I] + GAIN + [PMU_I, PMU_I] + GAIN + GAIN
    assert rig.sent() == choose + enter + ["W 0FCBB8E4"]
    assert rig.bench.force_range == pytest.approx((-2.25e-3, 2.2499e-3), abs=1e-7)
    # On the 5 uA range (200 kohm) of PMU1: 1 uA is code 0x96C1 at FIN level 0.
    rig.bench.force_current(1e-6, range="5uA", channels=[1])
    assert rig.sent()[-1] == "W 02C896C1"


def test_clamp_and_comparator_levels(rig):
    rig.bench.set_clamps(-1.0, 1.0)
    assert rig.sent() == ["W 0FD5749F", "W 0FDD8B60"]
    # -1 mA and 1 mA through 500 ohms: [-14563.6 + 32768] and [14563.6 + 32768].
    rig.bench.set_comparators(-1e-3, 1e-3, range="2mA")
    assert rig.sent() == GAIN + ["W 0FE3471C", "W 0FEBB8E4"]
    # The clamps have one level (4) for all current ranges.
    rig.bench.set_clamps(-1e-3, 1e-3, range="2mA")
    assert rig.sent() == GAIN + ["W 0FD4471C", "W 0FDCB8E4"]


@pytest.mark.parametrize("call, says", [
    (lambda b: b.force_voltage(11.25), "Z/S = -11.250 V, F/S = 11.250 V"),
    (lambda b: b.force_current(1e-3, rsense=12.4), "between 10k ohms and 12.5"),
    (lambda b: b.force_current(1e-3, range="4mA"), "must be one of"),
    (lambda b: b.set_fin_code(-1), "between 0 and xFFFF"),
    (lambda b: b.force_voltage(1.0, channels=[0, 4]), "channels are 0 to 3"),
])
def test_refusals_send_nothing(rig, call, says):
    with pytest.raises(ValueError, match=says):
        call(rig.bench)
    assert rig.sent() == []
