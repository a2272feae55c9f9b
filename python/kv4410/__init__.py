"""Scripting access to the KV4410 evaluation board, on the program's own core.

    import kv4410
    with kv4410.open(simulate=True) as bench:
        result = bench.sweep(-1.0, 1.0, 100)

Errors: ``ValueError`` for a refused argument (nothing is sent then), ``BoardError``
(with ``status`` and ``text``) for a failed board request. Ctrl-C stops a sweep or
time run at its next row and raises ``KeyboardInterrupt``; the rows measured so far
are the exception's ``result`` and the bench's ``last_run``.
"""

from ._errors import BoardError
from ._kv4410 import (
    Bench,
    RunResult,
    TestResult,
    __version__,
    adc_volts,
    code_for_current,
    code_for_voltage,
    current_of_code,
    decode,
    decode_readback,
    describe,
    list_boards,
    open,
    range_limits,
    voltage_of_code,
)

__all__ = [
    "Bench",
    "BoardError",
    "RunResult",
    "TestResult",
    "adc_volts",
    "code_for_current",
    "code_for_voltage",
    "current_of_code",
    "decode",
    "decode_readback",
    "describe",
    "list_boards",
    "open",
    "range_limits",
    "voltage_of_code",
]
