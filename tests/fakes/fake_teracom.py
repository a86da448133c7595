"""Simulated Teracom modules for end-to-end tests (Python standard library only).

One process plays any number of modules. It listens on a UDP port (30303
unless told otherwise) on every local address, and answers each discovery
query - exactly the 28 bytes "Discovery: Who is out there?" - with the reply
of every module, sent to the query's source address and port a few
milliseconds later. Each module has its own reply, source address, delay and
number of answers. Every datagram that arrives is recorded with its time and
source, so tests can check what the program sent, from where and when.

The listening socket allows address reuse, so a program on the same machine
can bind its own local address on the same port, as it does on a real network
where the modules sit on other hosts. Unicast replies to that address then go
to the program's more specific socket, not back to this one.

Standalone:  python3 fake_teracom.py [--port N] [--count N]
"""
import argparse
import contextlib
import select
import socket
import threading
import time
from dataclasses import dataclass, field

from timing import TIMESTAMP_SPACE, arrival, keep_schedule, stamp_arrivals

QUERY = b"Discovery: Who is out there?"
PORT = 30303


def reply_text(host=b"TCW241", mac=b"00:04:A3:12:34:56", rest=b"192.168.1.2", end=b"\r\n"):
    """A module's usual reply: host name, a 17-character MAC text and the rest,
    separated by `end` (CR LF on real modules)."""
    return host + end + mac + end + rest


def spaced(data):
    """data with a space before every byte and one at the end: spaces anywhere."""
    return b"".join(b" " + bytes([b]) for b in data) + b" "


@dataclass
class Module:
    """One simulated module.

    reply: the bytes of each answer (any length from 0 to 65 507).
    address: the local address its answers leave from (any 127.x.y.z works on
    loopback). delay: seconds from the query to its first answer. answers: how
    many times it answers each query, `gap` seconds apart."""
    reply: bytes = field(default_factory=reply_text)
    address: str = "127.0.0.1"
    delay: float = 0.005
    answers: int = 1
    gap: float = 0.050


@dataclass
class Datagram:
    at: float          # time.monotonic() of arrival
    data: bytes
    source: tuple      # (address, port)


@dataclass
class Sent:
    at: float          # time.monotonic() just after sending
    module: int        # index into the module list
    destination: tuple


class FakeTeracom:
    """Plays `modules` on `port` (0: a free port the system picks; see .port)."""

    def __init__(self, modules=(), port=PORT):
        self.modules = list(modules)
        self.received = []     # every Datagram that arrived
        self.sent = []         # every answer, in sending order
        self._changed = threading.Condition()
        self._stop = threading.Event()
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind(("0.0.0.0", port))
        self.port = self._listener.getsockname()[1]
        stamp_arrivals(self._listener)
        self._senders = {}     # source address -> socket
        for module in self.modules:
            if module.address not in self._senders:
                sender = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
                sender.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 1 << 20)
                sender.bind((module.address, 0))
                self._senders[module.address] = sender
        self._thread = threading.Thread(target=self._serve, daemon=True)

    def start(self):
        self._thread.start()
        return self

    def stop(self):
        self._stop.set()
        self._thread.join(5)
        self._listener.close()
        for sender in self._senders.values():
            sender.close()

    # ------------------------------------------------------------ results

    def queries(self):
        """The queries received, as Datagrams."""
        with self._changed:
            return [d for d in self.received if d.data == QUERY]

    def sent_times(self):
        with self._changed:
            return [s.at for s in self.sent]

    # ------------------------------------------------------------ the loop

    def _serve(self):
        keep_schedule()
        pending = []  # (due, module index, destination), kept sorted by due
        while not self._stop.is_set():
            now = time.monotonic()
            while pending and pending[0][0] <= now:
                _, index, destination = pending.pop(0)
                module = self.modules[index]
                try:
                    self._senders[module.address].sendto(module.reply, destination)
                except OSError:
                    pass
                with self._changed:
                    self.sent.append(Sent(time.monotonic(), index, destination))
                    self._changed.notify_all()
                now = time.monotonic()
            wait = min(0.05, max(0.0, pending[0][0] - now)) if pending else 0.05
            ready, _, _ = select.select([self._listener], [], [], wait)
            if not ready:
                continue
            try:
                data, ancillary, _, source = self._listener.recvmsg(1 << 16, TIMESTAMP_SPACE)
            except OSError:
                continue
            at = arrival(ancillary, time.monotonic())
            with self._changed:
                self.received.append(Datagram(at, data, source))
                self._changed.notify_all()
            if data != QUERY:
                continue
            for index, module in enumerate(self.modules):
                for answer in range(module.answers):
                    pending.append((at + module.delay + answer * module.gap, index, source))
            pending.sort(key=lambda item: (item[0], item[1]))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--port", type=int, default=PORT)
    parser.add_argument("--count", type=int, default=1, help="number of modules")
    args = parser.parse_args()
    modules = [Module(reply_text(host=b"TCW%03d" % i, mac=b"00:04:A3:00:%02X:%02X" % (i // 256, i % 256)))
               for i in range(args.count)]
    fake = FakeTeracom(modules, port=args.port).start()
    print("%d module(s) on UDP port %d" % (len(modules), fake.port), flush=True)
    with contextlib.suppress(KeyboardInterrupt):
        threading.Event().wait()  # until Ctrl+C
    fake.stop()
    for d in fake.received:
        print("%s:%d %r" % (d.source[0], d.source[1], d.data))


if __name__ == "__main__":
    main()
