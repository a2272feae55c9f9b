"""Register words by field name and their readbacks, checked on the board's trace."""
import pytest


def test_fields_compose_into_one_word(rig):
    b = rig.bench
    # 0x003FE4A0 with GUARD_EN (bit 8) set and CLAMP_ALARM (bit 10) cleared.
    b.write_system(GUARD_EN=1, CLAMP_ALARM=0)
    # 0x0F21B300 on PMU2 only, force current (bits 20..19 = 01).
    b.write_pmu(channels=[2], FORCE=1)
    # CPH (base 40) of the 2 mA level (3): address 43, x1 register.
    b.write_dac("cph", 0x1234, level=3)
    assert rig.sent() == ["W 003FE1A0", "W 0429B300", "W 04EB1234"]
    assert b.read_pmu(2)["FORCE"] == 1
    assert b.read_dac(2, "cph", level=3) == 0x1234
    assert b.read_system()["GUARD_EN"] == 1
    assert rig.sent() == ["W 14000000", "R", "W 14EB0000", "R", "W 10000000", "R"]


@pytest.mark.parametrize("call, says", [
    (lambda b: b.write_word(0x20000000), "between 0 and x1FFFFFFF"),
    (lambda b: b.write_dac("fin", 0x10000), "between 0 and xFFFF"),
    (lambda b: b.write_dac("cll", 0x100, level=2), "CLL DAC has no such register"),
    (lambda b: b.write_pmu(RANGE=1), "shared setting"),
    (lambda b: b.write_pmu(CLAMP=2), "CLAMP takes 0 to 1"),
    (lambda b: b.write_system(GAIN2=1), "no field GAIN2"),
    (lambda b: b.write_pmu(channels=[], CLAMP=1), "at least One PMU channel"),
    (lambda b: setattr(b, "current_range", "3mA"), "must be one of 5uA"),
])
def test_refusals_send_nothing(rig, call, says):
    with pytest.raises(ValueError, match=says):
        call(rig.bench)
    assert rig.sent() == []


def test_traffic_listener_sees_each_request(rig):
    seen = []
    rig.bench.observe_traffic(seen.append)
    rig.bench.compare = "voltage"  # bit 7 of the PMU word
    assert [(r["request"], r.get("word")) for r in seen] == [(221, 0x0F21B380)]


def test_setup_saved_and_opened_on_a_fresh_board(rig, tmp_path):
    from conftest import Traced
    rig.bench.current_range = "20uA"  # range code 1 in bits 15..17 of 0x0F21B300
    path = tmp_path / "bench.json"
    rig.bench.save_setup(path)
    fresh = Traced(tmp_path / "fresh.txt")
    try:
        bad = tmp_path / "bad.json"
        bad.write_text("[1, 2]")
        with pytest.raises(ValueError, match="not a setup file"):
            fresh.bench.load_setup(bad)
        assert fresh.sent() == []
        # Reset, the system word, the PMU word of all four channels, the switches.
        steps = fresh.bench.load_setup(path)
        assert fresh.sent() == ["219", "W 003FE4A0", "W 0F20B300", "229=1", "228=1"]
        assert len(steps) == 5
        assert fresh.bench.current_range == "20uA"
    finally:
        fresh.bench.close()
