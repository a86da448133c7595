"""Instruments that misbehave on purpose, for end-to-end tests (Python
standard library only, independent of the program's code).

`HostilePeer(behaviour)` listens on a loopback TCP port and runs
`behaviour(connection, record)` in a thread of its own for every
connection it accepts. The behaviours below read the command (or not), then
reset, trickle, flood or stay deaf; each fills its `Record`: what arrived,
when every byte went out, and when the program closed its side.
"""
import select
import socket
import struct
import threading
import time

from timing import keep_schedule


class Record:
    def __init__(self):
        self.accepted_at = time.monotonic()
        self.received = b""
        self.sent_at = []        # monotonic time of every send call
        self.closed_at = None    # when the program's side was seen closed
        self.done = threading.Event()


def read_command(connection, timeout=5.0, quiet=0.02):
    """The command: what arrives up to a line end, or until quiet seconds
    pass without more (binary commands have no line end)."""
    data = b""
    deadline = time.monotonic() + timeout
    while b"\n" not in data:
        wait = deadline - time.monotonic() if not data else quiet
        ready, _, _ = select.select([connection], [], [], max(0.0, wait))
        if not ready:
            break
        piece = connection.recv(1 << 20)
        if not piece:
            break
        data += piece
    return data


def wait_closed(connection, record, timeout=30.0):
    """Waits, without reading a byte, until the program closes its side."""
    poller = select.poll()
    poller.register(connection, select.POLLRDHUP | select.POLLHUP | select.POLLERR)
    if poller.poll(timeout * 1000):
        record.closed_at = time.monotonic()


def reset(connection):
    connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    connection.close()


def reset_after(parts, gap):
    """Sends the parts gap seconds apart, then resets the connection gap
    seconds after the last one: in the middle of a reply."""
    def behaviour(connection, record):
        record.received = read_command(connection)
        for part in parts:
            connection.sendall(part)
            record.sent_at.append(time.monotonic())
            time.sleep(gap)
        reset(connection)
    return behaviour


def trickle(data, gap):
    """One byte of data every gap seconds (to a fixed schedule), then quiet."""
    def behaviour(connection, record):
        record.received = read_command(connection)
        start = time.monotonic()
        for index in range(len(data)):
            delay = start + index * gap - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            connection.sendall(data[index:index + 1])
            record.sent_at.append(time.monotonic())
        wait_closed(connection, record)
    return behaviour


def flood(data):
    """All of data at once, then quiet."""
    def behaviour(connection, record):
        record.received = read_command(connection)
        connection.sendall(data)
        record.sent_at.append(time.monotonic())
        wait_closed(connection, record)
    return behaviour


def deaf(connection, record):
    """Accepts and never reads nor sends; notes when the program closes."""
    wait_closed(connection, record)


class HostilePeer:
    def __init__(self, behaviour, host="127.0.0.1"):
        self.behaviour = behaviour
        self.records = []
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind((host, 0))
        self._listener.listen(16)
        self.port = self._listener.getsockname()[1]
        self._connections = []
        self._thread = threading.Thread(target=self._accept_loop, daemon=True)

    def start(self):
        self._thread.start()
        return self

    def stop(self):
        try:
            self._listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._listener.close()
        self._thread.join(2.0)
        for connection in self._connections:
            try:
                connection.close()
            except OSError:
                pass

    def wait_records(self, count, timeout=30.0):
        """The first count records once their behaviours have finished."""
        deadline = time.monotonic() + timeout
        while len(self.records) < count and time.monotonic() < deadline:
            time.sleep(0.01)
        for record in self.records[:count]:
            if not record.done.wait(max(0.0, deadline - time.monotonic())):
                raise AssertionError("hostile peer: connection still busy")
        return self.records[:count]

    def _accept_loop(self):
        while True:
            try:
                connection, _ = self._listener.accept()
            except OSError:
                return
            connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            record = Record()
            self.records.append(record)
            self._connections.append(connection)
            threading.Thread(target=self._serve, args=(connection, record), daemon=True).start()

    def _serve(self, connection, record):
        keep_schedule()   # the trickle and the reset keep their gaps on a busy machine
        try:
            self.behaviour(connection, record)
        except OSError:
            pass
        finally:
            record.done.set()
