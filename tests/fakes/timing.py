"""Keeping time in the fakes on a loaded machine (Linux, Python standard library).

A fake thread that sleeps until its next piece is due, or that wakes for a
datagram, may get the processor tens of milliseconds late while builds run
beside the tests. Two helpers take that out of what the tests measure:

- `keep_schedule()` runs the calling thread under the real-time FIFO policy
  (the tests run as root; without the right it stays as it was), so its pieces
  go out when they are due; processes it starts get the normal policy, so the
  program under test is scheduled as anywhere else;
- `stamp_arrivals(sock)` and `arrival(ancillary, now)` take the arrival time of
  received bytes from the kernel's receive timestamp, on the monotonic clock,
  rather than from when the thread came round to read them.
"""
import os
import socket
import struct
import time

# Linux: nanosecond receive timestamps as ancillary data (socket.h).
SO_TIMESTAMPNS = 35
TIMESTAMP_SPACE = socket.CMSG_SPACE(16)


def keep_schedule():
    """Real-time FIFO scheduling for the calling thread, when allowed.
    Returns what to give normal_schedule() to undo it."""
    try:
        os.sched_setscheduler(0, os.SCHED_FIFO | os.SCHED_RESET_ON_FORK, os.sched_param(1))
        return True
    except (AttributeError, OSError):
        return False


def normal_schedule(kept):
    """The normal policy again for the calling thread, if keep_schedule() changed it."""
    if kept:
        os.sched_setscheduler(0, os.SCHED_OTHER, os.sched_param(0))


def stamp_arrivals(sock):
    """Makes the kernel timestamp every piece that arrives on sock."""
    sock.setsockopt(socket.SOL_SOCKET, SO_TIMESTAMPNS, 1)


# The kernel stamps arriving packets only while some socket asks for it, and
# it turns stamping on a moment after the first one does (deferred work): a
# connection accepted and stamped just then may get its first bytes unstamped.
# This socket, open while the test process lives, keeps stamping on throughout.
_KEEP_STAMPING = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
stamp_arrivals(_KEEP_STAMPING)


def _realtime_minus_monotonic():
    """The offset between the two clocks, from the tightest of three readings."""
    best = None
    for _ in range(3):
        before = time.monotonic()
        real = time.time()
        after = time.monotonic()
        if best is None or after - before < best[0]:
            best = (after - before, real - (before + after) / 2)
    return best[1]


def arrival(ancillary, now):
    """The monotonic time at which the bytes of one recvmsg arrived: the
    kernel's timestamp among the ancillary data, or now when there is none
    (never later than now)."""
    for level, kind, value in ancillary:
        if level == socket.SOL_SOCKET and kind == SO_TIMESTAMPNS and len(value) >= 16:
            seconds, nanoseconds = struct.unpack("qq", value[:16])
            return min(now, seconds + nanoseconds / 1e9 - _realtime_minus_monotonic())
    return now
