"""Conversions and decoding without a board, against values worked out by hand."""
import pytest

import kv4410


@pytest.mark.parametrize("volts, code", [
    (0.0, 0x8000), (5.0, 47331), (10.0, 61895), (11.249733, 0xFFFF), (-11.249924, 0),
])
def test_voltage_codes(volts, code):
    assert kv4410.code_for_voltage(volts) == code


@pytest.mark.parametrize("amps, rng, code", [
    (1e-6, "5uA", 0x96C1), (1e-3, "2mA", 47332), (0.0, "2mA", 32768), (-2.25e-3, "2mA", 0),
])
def test_current_codes(amps, rng, code):
    assert kv4410.code_for_current(amps, rng) == code


def test_code_back_to_levels():
    # 4.5 * 5 * 32768 / 65536 - 3.5 * 5 * 42130 / 65536 = 11.25 - 11.2499237060546875
    assert kv4410.voltage_of_code(0x8000) == pytest.approx(7.62939453125e-05, abs=1e-15)
    # 22.5 * (0x96C1 - 32768) / 65536 / (10 * 200000) = 22.5 * 5825 / 65536 / 2e6
    assert kv4410.current_of_code(0x96C1, "5uA") == pytest.approx(9.99927e-7, rel=1e-5)
    low, high = kv4410.range_limits()
    assert (low, high) == pytest.approx((-11.249924, 11.249733), abs=1e-6)
    assert kv4410.range_limits("2mA", mi_gain=5) == pytest.approx((-4.5e-3, 4.4998e-3), abs=1e-7)


@pytest.mark.parametrize("call, says", [
    (lambda: kv4410.code_for_voltage(11.25), "needs FIN DAC code 65536"),
    (lambda: kv4410.code_for_voltage(1.0, vref=3), "vref must be 2.5 or 5"),
    (lambda: kv4410.code_for_current(1e-3, "3mA"), "5uA, 20uA, 200uA, 2mA, ext"),
    (lambda: kv4410.code_for_current(1e-3, "ext", rsense=12.4), "12.5 to 10000 ohms"),
    (lambda: kv4410.voltage_of_code(0x10000), "between 0 and xFFFF"),
    (lambda: kv4410.decode(0x20000000), "20000000 is not a 29-bit word"),
])
def test_refusals_name_the_range(call, says):
    with pytest.raises(ValueError, match=says):
        call()


def test_decode_words_and_answers():
    pmu = kv4410.decode(0x0F21B300)
    assert (pmu["register"], pmu["channels"]) == ("PMU register", [0, 1, 2, 3])
    assert {k: pmu["fields"][k] for k in ("ENABLE", "FORCE", "RANGE", "MEASURE", "FIN", "CLAMP")} \
        == {"ENABLE": 1, "FORCE": 0, "RANGE": 3, "MEASURE": 1, "FIN": 1, "CLAMP": 1}
    read = kv4410.decode(0x18C80000)
    assert (read["read"], read["channels"], read["dac"], read["level"]) == (True, [3], "fin", 0)
    system = kv4410.decode_readback("system", 0x000038)
    assert (system["THERMAL_EN"], system["SHUTDOWN_TEMP"]) == (1, 3)
