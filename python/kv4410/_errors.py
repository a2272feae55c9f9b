"""The exception the board raises, importable before the compiled module."""


class BoardError(Exception):
    """A board request failed.

    ``status`` is the board status (3005, 3001, ...) and ``text`` its message
    ("3005 - XFER INCOMPLETE"); ``detail`` says more where there is more to say.
    A run that lost its board carries what it measured before as ``result``.
    """

    def __init__(self, status, text, detail=""):
        super().__init__(status, text, detail)
        self.status = status
        self.text = text
        self.detail = detail

    def __str__(self):
        return self.text + ("\n" + self.detail if self.detail else "")
