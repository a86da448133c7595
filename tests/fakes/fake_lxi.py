"""Simulated LAN instruments for end-to-end tests, the demo and the benchmark
(Python standard library only, independent of the program's code).

One `FakeLxi` object plays any number of instruments, each on an IPv4 address of
its own (every 127.0.0.0/8 address is local in a private network namespace). It

- answers the portmapper GETPORT broadcast (UDP port 111, heard on all
  interfaces) for each instrument with a VXI-11 core channel, from the
  instrument's own address, a few milliseconds later as real instruments do;
- answers one-shot multicast DNS queries (224.0.0.251 port 5353, joined on the
  loopback interface) as a legacy unicast responder: to the query's source
  address and port, the query's id and questions echoed, then for each service
  asked for that the instrument announces a PTR answer and its SRV, TXT and A
  records, names compressed;
- serves the VXI-11 core channel (create_link, device_write, device_read,
  destroy_link; "*IDN?" gives the identity) and a raw SCPI port ("*IDN?" and a
  line end give the identity and LF) over TCP on the instrument's address;
- plays a dead instrument: it is announced, but its TCP ports take no
  connection (their accept queue is kept full, so a connect hangs);
- sends malformed replies on request: `junk` callables get each query's bytes
  and return the datagram that an extra address (127.0.9.9) sends back.

Every datagram and every TCP byte received is recorded (`queries`, `tcp_bytes`).

Standalone (for the demo and by hand, inside a private namespace only):
    python3 fake_lxi.py --demo     (the instruments of scripts/demo)
    python3 fake_lxi.py --count 50 [--first 127.0.2.1] [--dead]
prints "ready" once every socket is bound and runs until stopped.
"""
import argparse
import heapq
import selectors
import socket
import struct
import sys
import threading
import time

MDNS_GROUP = "224.0.0.251"
JUNK_ADDRESS = "127.0.9.9"
VXI11_PROGRAM = 0x000607AF


class Instrument:
    """address: its IPv4 address. idn: its identity (bytes).
    vxi11_port: core channel port answered to GETPORT (None: no portmapper).
    services: {"_lxi._tcp": 80, ...} announced over multicast DNS (empty: none).
    scpi_port: port of its raw SCPI server (None: none); name: instance name;
    txt: TXT strings; dead: TCP ports hang; split: VXI-11 replies in two fragments."""

    def __init__(self, address, idn=b"", vxi11_port=None, services=None, scpi_port=None, name=None,
                 txt=(), dead=False, split=False, host=None):
        self.address, self.idn, self.vxi11_port = address, idn, vxi11_port
        self.services, self.scpi_port, self.dead, self.split = dict(services or {}), scpi_port, dead, split
        self.name = name or "Instrument %s" % address
        self.txt = [t if isinstance(t, bytes) else t.encode() for t in txt]
        self.host = host or "inst-%s" % address.replace(".", "-")


def labels(dotted):
    return b"".join(bytes([len(p)]) + p.encode() for p in dotted.split(".")) + b"\0"


def record(owner, kind, rdata, cache_flush=False):
    return owner + struct.pack(">HHIH", kind, 0x8001 if cache_flush else 1, 120, len(rdata)) + rdata


def question_offsets(query):
    """{service name without ".local": offset of its question name} of a query."""
    offsets, at = {}, 12
    for _ in range(struct.unpack(">H", query[4:6])[0]):
        start, parts = at, []
        while at < len(query) and query[at]:
            parts.append(query[at + 1:at + 1 + query[at]].decode("latin-1"))
            at += 1 + query[at]
        at += 5
        offsets[".".join(parts).lower()] = start
    return offsets, at


def mdns_answer(instrument, query):
    """The legacy unicast reply of instrument to query, or None."""
    offsets, end = question_offsets(query)
    wanted = [(s, p) for s, p in instrument.services.items() if s + ".local" in offsets]
    if not wanted:
        return None
    body, answers, extra = bytearray(query[:2] + b"\x84\x00" + query[4:6]), [], []
    message = bytearray(query[12:end])
    for service, port in wanted:
        pointer = struct.pack(">H", 0xC000 | offsets[service + ".local"])
        ptr_rdata = bytes([len(instrument.name)]) + instrument.name.encode() + pointer
        at = 12 + len(message) + 2 + 10  # the PTR's rdata follows its owner pointer and fixed fields
        message += record(pointer, 12, ptr_rdata)
        instance = struct.pack(">H", 0xC000 | at)
        srv = record(instance, 33, struct.pack(">HHH", 0, 0, port) + labels(instrument.host + ".local"))
        host_at = 12 + len(message) + len(srv) - len(labels(instrument.host + ".local"))
        message += srv
        message += record(instance, 16, b"".join(bytes([len(t)]) + t for t in instrument.txt) or b"\0")
        message += record(struct.pack(">H", 0xC000 | host_at), 1, socket.inet_aton(instrument.address), True)
        answers.append(1)
        extra.append(3)
    body += struct.pack(">HHH", len(answers), 0, sum(extra))
    return bytes(body + message)


def rpc_reply(xid, results):
    return struct.pack(">6I", xid, 1, 0, 0, 0, 0) + results


def opaque(data):
    return struct.pack(">I", len(data)) + data + b"\0" * (-len(data) % 4)


class FakeLxi:
    def __init__(self, instruments, junk=(), delay=0.003):
        self.instruments, self.junk, self.delay = list(instruments), list(junk), delay
        self.queries, self.tcp_bytes = [], {}  # (port, source, bytes); address -> bytes
        self.lock = threading.Lock()
        self.selector = selectors.DefaultSelector()
        self.timers, self.sequence, self.stopping, self.sockets = [], 0, False, []
        self.add(self.udp(("0.0.0.0", 111)), "query", 111)
        mdns = self.udp(("0.0.0.0", 5353))
        mdns.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                        socket.inet_aton(MDNS_GROUP) + socket.inet_aton("127.0.0.1"))
        self.add(mdns, "query", 5353)
        self.senders = {i.address: self.udp((i.address, 0)) for i in self.instruments}
        self.senders[JUNK_ADDRESS] = self.udp((JUNK_ADDRESS, 0))
        for i in self.instruments:
            for port, kind in ((i.vxi11_port, "vxi11"), (i.scpi_port, "scpi")):
                if port:
                    self.listen(i, port, kind)
        self.wake_read, self.wake_write = socket.socketpair()
        self.add(self.wake_read, "wake", None)

    def udp(self, address):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind(address)
        s.setblocking(False)
        self.sockets.append(s)
        return s

    def add(self, s, kind, data):
        self.selector.register(s, selectors.EVENT_READ, (kind, data))

    def listen(self, instrument, port, kind):
        server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        server.bind((instrument.address, port))
        self.sockets.append(server)
        if instrument.dead:
            # Backlog 0 takes one connection; it is filled here and never accepted.
            server.listen(0)
            filler = socket.create_connection((instrument.address, port))
            self.sockets.append(filler)
            return
        server.listen(64)
        server.setblocking(False)
        self.add(server, "accept", (instrument, kind))

    def start(self):
        self.thread = threading.Thread(target=self.loop, daemon=True)
        self.thread.start()
        return self

    def stop(self):
        self.stopping = True
        self.wake_write.send(b"x")
        self.thread.join(10)
        for s in self.sockets + [self.wake_read, self.wake_write]:
            s.close()

    __enter__ = start

    def __exit__(self, *exc):
        self.stop()

    def later(self, delay, action):
        self.sequence += 1
        heapq.heappush(self.timers, (time.monotonic() + delay, self.sequence, action))

    def loop(self):
        while not self.stopping:
            timeout = max(0.0, self.timers[0][0] - time.monotonic()) if self.timers else None
            for key, _ in self.selector.select(timeout):
                kind, data = key.data
                if kind == "wake":
                    return
                getattr(self, "on_" + kind)(key.fileobj, data)
            while self.timers and self.timers[0][0] <= time.monotonic():
                heapq.heappop(self.timers)[2]()

    def send(self, address, data, to):
        try:
            self.senders[address].sendto(data, to)
        except OSError:
            pass

    def on_query(self, s, port):
        try:
            data, source = s.recvfrom(65536)
        except OSError:
            return
        with self.lock:
            self.queries.append((port, source, data))
        replies = [(JUNK_ADDRESS, make(data)) for make in self.junk]
        for i in self.instruments:
            if port == 111 and i.vxi11_port and len(data) == 56 and data[40:44] == struct.pack(">I", VXI11_PROGRAM):
                replies.append((i.address, rpc_reply(struct.unpack(">I", data[:4])[0], struct.pack(">I", i.vxi11_port))))
            elif port == 5353 and len(data) >= 12:
                answer = mdns_answer(i, data)
                if answer:
                    replies.append((i.address, answer))
        for address, reply in replies:
            if reply is not None:
                self.later(self.delay, lambda a=address, r=reply: self.send(a, r, source))

    def on_accept(self, server, data):
        try:
            conn, _ = server.accept()
        except OSError:
            return
        conn.setblocking(False)
        self.sockets.append(conn)
        self.add(conn, "tcp", {"instrument": data[0], "kind": data[1], "buffer": b"", "pending": b""})

    def on_tcp(self, conn, state):
        try:
            data = conn.recv(65536)
        except OSError:
            data = b""
        if not data:
            self.selector.unregister(conn)
            conn.close()
            return
        instrument = state["instrument"]
        with self.lock:
            self.tcp_bytes[instrument.address] = self.tcp_bytes.get(instrument.address, b"") + data
        state["buffer"] += data
        if state["kind"] == "scpi":
            while b"\n" in state["buffer"]:
                line, state["buffer"] = state["buffer"].split(b"\n", 1)
                if line.strip().upper() == b"*IDN?":
                    conn.sendall(instrument.idn + b"\n")
            return
        while len(state["buffer"]) >= 4:
            mark = struct.unpack(">I", state["buffer"][:4])[0]
            length = mark & 0x7FFFFFFF
            if len(state["buffer"]) < 4 + length:
                return
            call, state["buffer"] = state["buffer"][4:4 + length], state["buffer"][4 + length:]
            reply = self.core_reply(instrument, state, call)
            if instrument.split:
                conn.sendall(struct.pack(">I", 8) + reply[:8] + struct.pack(">I", 0x80000000 | len(reply) - 8) + reply[8:])
            else:
                conn.sendall(struct.pack(">I", 0x80000000 | len(reply)) + reply)

    def core_reply(self, instrument, state, call):
        xid, _, _, _, _, procedure = struct.unpack(">6I", call[:24])
        at = 24 + 8 + struct.unpack(">I", call[28:32])[0]  # past the credential
        at += 8 + struct.unpack(">I", call[at + 4:at + 8])[0]  # past the verifier
        args = call[at:]
        if procedure == 10:
            return rpc_reply(xid, struct.pack(">4I", 0, 7, 0, 1024))
        if procedure == 11:
            length = struct.unpack(">I", args[16:20])[0]
            if args[20:20 + length].strip().upper() == b"*IDN?":
                state["pending"] = instrument.idn + b"\n"
            return rpc_reply(xid, struct.pack(">2I", 0, length))
        if procedure == 12:
            size = struct.unpack(">I", args[4:8])[0]
            data, state["pending"] = state["pending"][:size], state["pending"][size:]
            if not data:
                return rpc_reply(xid, struct.pack(">2I", 15, 0) + opaque(b""))
            return rpc_reply(xid, struct.pack(">2I", 0, 1 if state["pending"] else 4) + opaque(data))
        return rpc_reply(xid, struct.pack(">I", 0))


def numbered(count, first="127.0.2.1", **options):
    """count VXI-11 instruments on consecutive addresses."""
    start = struct.unpack(">I", socket.inet_aton(first))[0]
    return [Instrument(socket.inet_ntoa(struct.pack(">I", start + n)), idn=b"Maker,Model %d,SN%04d,1.0" % (n, n),
                       vxi11_port=1024, **options) for n in range(count)]


def demo_set():
    """The instruments of the demo, on the lab network 192.168.1.0/24."""
    return [
        Instrument("192.168.1.30", idn=b"Keysight Technologies,DSOX1204G,CN60000030,2.12", vxi11_port=1024,
                   services={"_lxi._tcp": 80, "_vxi-11._tcp": 111, "_scpi-raw._tcp": 5025}, scpi_port=5025,
                   name="Keysight DSOX1204G - CN60000030",
                   txt=["Manufacturer=Keysight Technologies", "Model=DSOX1204G", "SerialNumber=CN60000030"]),
        Instrument("192.168.1.31", idn=b"Siglent Technologies,SDM3045X,SDM30000031,1.01.01.25",
                   services={"_scpi-raw._tcp": 5025}, scpi_port=5025, name="SDM3045X"),
    ]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--demo", action="store_true", help="the instruments of scripts/demo")
    parser.add_argument("--count", type=int, default=5)
    parser.add_argument("--first", default="127.0.2.1")
    parser.add_argument("--dead", action="store_true", help="one dead instrument instead")
    args = parser.parse_args()
    if args.demo:
        instruments = demo_set()
    elif args.dead:
        instruments = [Instrument(args.first, vxi11_port=1024, dead=True)]
    else:
        instruments = numbered(args.count, args.first)
    fake = FakeLxi(instruments).start()
    print("ready", flush=True)
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass
    finally:
        fake.stop()


if __name__ == "__main__":
    sys.exit(main())
