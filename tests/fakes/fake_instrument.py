"""A simulated lab instrument for end-to-end tests (Python standard library only).

It listens on a loopback port, answers what it receives according to a
*personality* and records every byte of every connection with timestamps, so
tests can check exactly what the program sent and when.

Personalities are independent of the transport: each one turns received bytes
into `Reply` objects (what to send, when, and how the connection ends).

- `Scpi`: text commands ending with LF, CR or CR LF; a reply per command text
  (`replies`), with a default for the rest.
- `Modbus`: a Modbus-TCP server with holding and input registers; functions 3
  and 4 read, 5 and 6 write and echo; anything else gets a 9-byte exception.
- `Raw`: one fixed reply to the first bytes of each connection, whatever they
  are (hex commands, garbage answers).

- `Datagrams`: for UDP, each datagram one whole command (no line end needed);
  a reply per datagram text, with a default for the rest.

`FakeInstrument(personality)` serves one of them over TCP;
`FakeUdpInstrument(personality)` over UDP, with `feed()` per datagram: it
records every datagram with its arrival time and source, and sends each reply
segment as one datagram, after its delay, back to the source port or to a
given port of the source address (a listening port).

Standalone:  python3 fake_instrument.py [--port N] [--modbus] [CMD=REPLY ...]
"""
import argparse
import collections
import heapq
import os
import select
import socket
import struct
import threading
import time

from netns import call_in
from timing import TIMESTAMP_SPACE, arrival, keep_schedule, stamp_arrivals

# ---------------------------------------------------------------- replies


class Reply:
    """What the instrument does for one request.

    segments: list of (delay_seconds, bytes): each piece is sent after its delay
    (counted from the previous piece, or from the request for the first).
    then: "keep" (connection stays open), "close" (orderly close after the
    segments) or "reset" (RST via SO_LINGER 0 after the segments).
    """

    def __init__(self, segments=(), then="keep"):
        self.segments = [(float(d), bytes(b)) for d, b in segments]
        self.then = then

    @classmethod
    def now(cls, data):
        return cls([(0, data)])

    @classmethod
    def delayed(cls, seconds, data):
        return cls([(seconds, data)])

    @classmethod
    def pieces(cls, parts, gap):
        """parts sent one after another, gap seconds apart, the first at once."""
        return cls([(0 if i == 0 else gap, p) for i, p in enumerate(parts)])

    @classmethod
    def never(cls):
        return cls([])

    @classmethod
    def close(cls):
        return cls([], then="close")

    @classmethod
    def reset(cls):
        return cls([], then="reset")

    def __repr__(self):
        return "Reply(%d segments, then=%s)" % (len(self.segments), self.then)


# ---------------------------------------------------------------- personalities


class Scpi:
    """Text commands, one per line; `replies` maps command text (bytes, as
    received without its line end) to a Reply; `default` answers the rest."""

    def __init__(self, replies=None, default=None):
        self.replies = {self._key(k): v for k, v in (replies or {}).items()}
        self.default = default if default is not None else Reply.never()

    @staticmethod
    def _key(command):
        return command.encode("latin-1") if isinstance(command, str) else bytes(command)

    def set(self, command, reply):
        self.replies[self._key(command)] = reply

    def new_state(self):
        return {"buffer": b"", "skip_lf": False}

    def feed(self, state, data):
        buffer = state["buffer"]
        if state["skip_lf"] and data[:1] == b"\n":
            data = data[1:]
        state["skip_lf"] = False
        buffer += data
        replies = []
        while True:
            ends = [i for i in (buffer.find(b"\n"), buffer.find(b"\r")) if i >= 0]
            if not ends:
                break
            end = min(ends)
            line = buffer[:end]
            if buffer[end:end + 2] == b"\r\n":
                end += 1
            elif buffer[end:end + 1] == b"\r" and end + 1 == len(buffer):
                state["skip_lf"] = True
            buffer = buffer[end + 1:]
            replies.append(self.replies.get(line, self.default))
        state["buffer"] = buffer
        return replies


class Raw:
    """The same Reply to the first bytes of every connection, whatever they are."""

    def __init__(self, reply):
        self.reply = reply

    def new_state(self):
        return {"answered": False}

    def feed(self, state, data):
        if state["answered"] or not data:
            return []
        state["answered"] = True
        return [self.reply]


class Modbus:
    """A Modbus-TCP server. Registers are dicts address -> 16-bit value;
    missing registers read as 0 when `lenient`, otherwise they make an
    exception 02 (illegal data address). `delay` postpones every answer;
    `override` (a Reply) answers every request instead of the server logic."""

    def __init__(self, holding=None, inputs=None, coils=None, lenient=True, delay=0.0, override=None):
        self.holding = dict(holding or {})
        self.inputs = dict(inputs or {})
        self.coils = dict(coils or {})
        self.lenient = lenient
        self.delay = delay
        self.override = override

    def new_state(self):
        return {"buffer": b""}

    def feed(self, state, data):
        buffer = state["buffer"] + data
        replies = []
        while len(buffer) >= 7:
            length = struct.unpack(">H", buffer[4:6])[0]
            if not 2 <= length <= 254:
                buffer = b""  # not a Modbus frame: nothing sensible to answer
                break
            if len(buffer) < 6 + length:
                break
            frame, buffer = buffer[:6 + length], buffer[6 + length:]
            if self.override is not None:
                replies.append(self.override)
            else:
                replies.append(Reply.delayed(self.delay, self.answer(frame)))
        state["buffer"] = buffer
        return replies

    def answer(self, frame):
        """The reply frame for one request frame (MBAP header + PDU)."""
        tid, _, _, unit = struct.unpack(">HHHB", frame[:7])
        pdu = frame[7:]
        function = pdu[0] if pdu else 0

        def frame_of(body):
            return struct.pack(">HHHB", tid, 0, len(body) + 1, unit) + body

        def exception(code):
            return frame_of(bytes([function | 0x80, code]))

        if function in (3, 4) and len(pdu) >= 5:
            start, count = struct.unpack(">HH", pdu[1:5])
            if not 1 <= count <= 125:
                return exception(3)
            table = self.holding if function == 3 else self.inputs
            values = []
            for address in range(start, start + count):
                if address not in table and not self.lenient:
                    return exception(2)
                values.append(table.get(address, 0) & 0xFFFF)
            body = bytes([function, 2 * count]) + b"".join(struct.pack(">H", v) for v in values)
            return frame_of(body)
        if function == 5 and len(pdu) >= 5:
            address, value = struct.unpack(">HH", pdu[1:5])
            if value not in (0x0000, 0xFF00):
                return exception(3)
            self.coils[address] = value == 0xFF00
            return frame_of(pdu[:5])
        if function == 6 and len(pdu) >= 5:
            address, value = struct.unpack(">HH", pdu[1:5])
            self.holding[address] = value
            return frame_of(pdu[:5])
        return exception(1)


class Datagrams:
    """Each datagram is one command, as it stands; `replies` maps its bytes
    to a Reply, `default` answers the rest (by default nothing)."""

    def __init__(self, replies=None, default=None):
        self.replies = {Scpi._key(k): v for k, v in (replies or {}).items()}
        self.default = default if default is not None else Reply.never()

    def new_state(self):
        return {}

    def feed(self, state, data):
        return [self.replies.get(bytes(data), self.default)]


class Scripted:
    """Wraps a personality: connection n (0-based, in accept order) answers
    its requests with script[n] when present, else as the inner one does."""

    def __init__(self, inner, script):
        self.inner = inner
        self.script = dict(script)
        self._count = 0
        self._lock = threading.Lock()

    def new_state(self):
        with self._lock:
            index = self._count
            self._count += 1
        return {"index": index, "inner": self.inner.new_state()}

    def feed(self, state, data):
        replies = self.inner.feed(state["inner"], data)
        override = self.script.get(state["index"])
        return [override for _ in replies] if override is not None else replies


# ---------------------------------------------------------------- recording


class Connection:
    """One accepted connection: every received byte, with arrival times."""

    def __init__(self, accepted_at):
        self.accepted_at = accepted_at
        self.chunks = []          # (monotonic time, bytes)
        self.closed_at = None     # when the peer closed (or the fake ended it)
        self.ended_by = None      # "peer", "reset" (peer reset), "fake"
        self.done = threading.Event()

    @property
    def data(self):
        return b"".join(c for _, c in self.chunks)

    @property
    def first_data_at(self):
        return self.chunks[0][0] if self.chunks else None


# ---------------------------------------------------------------- TCP transport


class _Served:
    """Transports are context managers: start() on entry, stop() on exit."""

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


# How long "close" and "reset" on accept wait first.
ACCEPT_PAUSE = 0.02


class FakeInstrument(_Served):
    """Serves a personality over TCP on host:port (port 0 picks a free one).

    on_accept: None, "close" (close ACCEPT_PAUSE after the accept, no data
    read) or "reset" (likewise).
    Use as a context manager or call start()/stop().
    """

    def __init__(self, personality, host="127.0.0.1", port=0, on_accept=None):
        self.personality = personality
        self.on_accept = on_accept
        self.connections = []
        self._lock = threading.Lock()
        self._changed = threading.Condition(self._lock)
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind((host, port))
        self._listener.listen(64)
        self.host = host
        self.port = self._listener.getsockname()[1]
        self._stopping = False
        self._threads = []

    # lifecycle
    def start(self):
        thread = threading.Thread(target=self._accept_loop, daemon=True)
        thread.start()
        self._threads.append(thread)
        return self

    def stop(self):
        """Stops listening (the port is free again at once); open connections
        run on until their peers close."""
        self._stopping = True
        try:
            # shutdown wakes the accept() that blocks in the server thread.
            self._listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        try:
            self._listener.close()
        except OSError:
            pass
        for thread in self._threads:
            thread.join(2.0)

    # queries for tests
    def received(self):
        """Bytes received, one entry per connection, in accept order."""
        with self._lock:
            return [c.data for c in self.connections]

    def wait_connections(self, count, timeout=10.0):
        """Waits until count connections have ended; returns them (all so far)."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                ended = [c for c in self.connections if c.done.is_set()]
                if len(ended) >= count:
                    return list(self.connections)
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("fake instrument: %d of %d connections ended"
                                         % (len(ended), count))
                self._changed.wait(left)

    # internals
    def _accept_loop(self):
        keep_schedule()   # accepted_at is when the connection came
        while not self._stopping:
            try:
                conn, _ = self._listener.accept()
            except OSError:
                return
            record = Connection(time.monotonic())
            with self._changed:
                self.connections.append(record)
                self._changed.notify_all()
            thread = threading.Thread(target=self._serve, args=(conn, record), daemon=True)
            thread.start()

    def _finish(self, conn, record, how, ended_by):
        """Closes this side ("close": orderly, "reset": RST) and marks the record done."""
        if how == "reset":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        try:
            conn.close()
        except OSError:
            pass
        with self._changed:
            if record.closed_at is None:
                record.closed_at = time.monotonic()
                record.ended_by = ended_by
            record.done.set()
            self._changed.notify_all()

    def _serve(self, conn, record):
        """One connection: records what arrives (with its time) and sends the
        replies' segments at their due times, in one select loop. Arrival
        times are the kernel's, and the replies are due from them."""
        keep_schedule()
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        stamp_arrivals(conn)
        if self.on_accept in ("close", "reset"):
            # A moment after the accept, as a device takes one: the client's
            # connect has then certainly completed (under wine it is reported
            # later than the handshake, and an earlier reset fails it).
            time.sleep(ACCEPT_PAUSE)
            self._finish(conn, record, self.on_accept, "fake")
            return
        state = self.personality.new_state()
        pending = collections.deque()   # (due time, bytes or "close"/"reset")
        reading = True
        while True:
            now = time.monotonic()
            while pending and pending[0][0] <= now:
                _, item = pending.popleft()
                if item == "reset":
                    self._finish(conn, record, "reset", "fake")
                    return
                if item == "close":
                    try:
                        conn.shutdown(socket.SHUT_WR)
                    except OSError:
                        pass
                    continue
                try:
                    conn.sendall(item)
                except OSError:
                    pending.clear()
                now = time.monotonic()
            if not reading and not pending:
                self._finish(conn, record, "close", record.ended_by or "peer")
                return
            wait = max(0.0, pending[0][0] - now) if pending else None
            ready, _, _ = select.select([conn] if reading else [], [], [], wait)
            if not ready:
                continue
            try:
                data, ancillary, _, _ = conn.recvmsg(1 << 20, TIMESTAMP_SPACE)
                ended_by = "peer"
            except OSError:
                data, ancillary, ended_by = b"", [], "reset"
            now = time.monotonic()
            if not data:
                with self._changed:
                    record.closed_at = now
                    record.ended_by = ended_by
                # The peer is gone: what is still scheduled is dropped.
                reading = False
                pending.clear()
                continue
            arrived = arrival(ancillary, now)
            with self._changed:
                record.chunks.append((arrived, data))
                self._changed.notify_all()
            for reply in self.personality.feed(state, data):
                due = max(arrived, pending[-1][0]) if pending else arrived
                for delay, segment in reply.segments:
                    due += delay
                    pending.append((due, segment))
                if reply.then in ("close", "reset"):
                    pending.append((due, reply.then))


# ---------------------------------------------------------------- UDP transport


class Datagram:
    """One received datagram: arrival time (monotonic), bytes, source (host, port)."""

    def __init__(self, at, data, source):
        self.at = at
        self.data = data
        self.source = source

    def __repr__(self):
        return "Datagram(%r from %s:%d)" % (self.data, self.source[0], self.source[1])


class FakeUdpInstrument(_Served):
    """Serves a personality over UDP on host:port (port 0 picks a free one).

    Every datagram is recorded (`datagrams`). Each Reply segment goes out as
    one datagram after its delay (counted from the previous segment, or from
    the request): to the request's source port when reply_port is None,
    otherwise to reply_port on the source's address. A segment may be empty.
    netns: a network namespace file to serve from (another host on a veth link).
    """

    def __init__(self, personality, host="127.0.0.1", port=0, reply_port=None, netns=None):
        self.personality = personality
        self.reply_port = reply_port
        self.datagrams = []
        self._lock = threading.Lock()
        self._changed = threading.Condition(self._lock)
        self._socket = call_in(netns, lambda: socket.socket(socket.AF_INET, socket.SOCK_DGRAM))
        self._socket.bind((host, port))
        stamp_arrivals(self._socket)
        self.host = host
        self.port = self._socket.getsockname()[1]
        self._wake_read, self._wake_write = os.pipe()
        self._stopping = False
        self._thread = None

    def start(self):
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()
        return self

    def stop(self):
        if self._stopping:
            return
        self._stopping = True
        os.write(self._wake_write, b"x")
        if self._thread is not None:
            self._thread.join(2.0)
        self._socket.close()
        os.close(self._wake_read)
        os.close(self._wake_write)

    def received(self):
        """The bytes of every datagram so far, in arrival order."""
        with self._lock:
            return [d.data for d in self.datagrams]

    def wait_datagrams(self, count, timeout=10.0):
        """Waits until count datagrams have arrived; returns all so far."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while len(self.datagrams) < count:
                left = deadline - time.monotonic()
                if left <= 0:
                    raise AssertionError("fake instrument: %d of %d datagrams" % (len(self.datagrams), count))
                self._changed.wait(left)
            return list(self.datagrams)

    def _serve(self):
        keep_schedule()
        state = self.personality.new_state()
        pending = []   # heap of (due time, order, bytes, destination)
        order = 0
        while not self._stopping:
            now = time.monotonic()
            while pending and pending[0][0] <= now:
                _, _, data, destination = heapq.heappop(pending)
                try:
                    self._socket.sendto(data, destination)
                except OSError:
                    pass  # nobody there: as on a real network, the datagram is lost
            wait = max(0.0, pending[0][0] - time.monotonic()) if pending else None
            ready, _, _ = select.select([self._socket, self._wake_read], [], [], wait)
            if self._socket not in ready:
                continue
            try:
                data, ancillary, _, source = self._socket.recvmsg(65536, TIMESTAMP_SPACE)
            except OSError:
                continue  # an error report of an earlier send
            now = arrival(ancillary, time.monotonic())
            with self._changed:
                self.datagrams.append(Datagram(now, data, source))
                self._changed.notify_all()
            destination = source if self.reply_port is None else (source[0], self.reply_port)
            for reply in self.personality.feed(state, data):
                due = now
                for delay, segment in reply.segments:
                    due += delay
                    heapq.heappush(pending, (due, order, segment, destination))
                    order += 1


# ---------------------------------------------------------------- standalone


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--modbus", action="store_true", help="serve Modbus-TCP")
    parser.add_argument("pairs", nargs="*", help="CMD=REPLY text pairs (SCPI)")
    args = parser.parse_args()
    if args.modbus:
        personality = Modbus(holding={i: i for i in range(256)}, inputs={i: 1000 + i for i in range(256)})
    else:
        replies = {}
        for pair in args.pairs:
            command, _, reply = pair.partition("=")
            replies[command] = Reply.now(reply.encode("latin-1") + b"\n")
        personality = Scpi(replies)
    fake = FakeInstrument(personality, port=args.port).start()
    print("listening on 127.0.0.1:%d" % fake.port, flush=True)
    try:
        while True:
            time.sleep(1)
    except KeyboardInterrupt:
        pass
    finally:
        fake.stop()
        for i, c in enumerate(fake.connections):
            print("connection %d: %r" % (i, c.data))


if __name__ == "__main__":
    main()
