# SPDX-License-Identifier: GPL-3.0-or-later
"""The exception classes: one per failure class of the C library, each a
zm5520evm.Error, and also the builtin exception a Python program would catch
it as where there is one."""

__all__ = [
    "BoardNotOpenableError", "BoardSilentError", "CancelledError", "Error", "FileError",
    "NoBoardError", "NotAcknowledgedError", "ParseError", "ReadBackError",
]


class Error(Exception):
    """Every failure of a Bench operation; str() is the text the program
    itself shows for it."""


class NoBoardError(Error):
    """No board of the kind (or none with the serial number or path asked for)."""


class BoardNotOpenableError(Error):
    """The board is there but cannot be opened: no permission (see the udev
    rule) or in use."""


class BoardSilentError(Error):
    """A board was opened but did not answer within its time-out (1 s for the
    register link)."""


class NotAcknowledgedError(Error):
    """The board answered, but the device behind it did not acknowledge."""


class ReadBackError(Error):
    """A register took the write but reads back another value.

    Attributes: reg (the register number), wanted (the value written), got
    (the value read)."""

    def __init__(self, text, reg=0, wanted=0, got=0):
        super().__init__(text)
        self.reg = reg
        self.wanted = wanted
        self.got = got


class ParseError(Error, ValueError):
    """Input that cannot be used: a mnemonic that does not parse, a script or
    register file that is not one, a value out of range. Also a ValueError.

    Attribute: position, the line of a file (1 for the first), or 0 where
    there is none."""

    def __init__(self, text, position=0):
        super().__init__(text)
        self.position = position


class FileError(Error, OSError):
    """A file that could not be read or written. Also an OSError: errno and
    strerror are the system's reason where there is one, filename (and path)
    the file."""

    def __init__(self, text, path="", errno=None, strerror=None):
        super().__init__(text)
        self.path = path
        self.filename = path
        self.errno = errno
        self.strerror = strerror

    def __str__(self):
        # OSError would show "[Errno 2] ..." once errno is set: the text is
        # the program's own, which names the file and the reason.
        return str(self.args[0]) if self.args else ""


class CancelledError(Error):
    """The operation was stopped (Bench.request_stop(), close() from another
    thread) before it was done."""


for _cls in (Error, NoBoardError, BoardNotOpenableError, BoardSilentError, NotAcknowledgedError,
             ReadBackError, ParseError, FileError, CancelledError):
    _cls.__module__ = "zm5520evm"
