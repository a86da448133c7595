"""Simulated LAN instruments (standard library only, independent of the program's
code); one FakeLxi plays many, each on its own 127.x address. Per instrument: a
GETPORT answer (UDP 111 broadcast) after a few ms; a legacy unicast mDNS answer
(224.0.0.251:5353 joined on `interface`) to the query's source: id and questions
echoed, per service asked for a PTR with SRV, TXT and A, names compressed; a
VXI-11 core server ("*IDN?" gives the identity) and a raw SCPI server. A dead
instrument's TCP ports hang (accept queue full). Each `junk` callable gets every
query and returns what 127.0.9.9 sends back (None: nothing). Records `queries`
and the TCP bytes per address (`tcp_bytes`). `fake_lxi.py --demo`, inside a
private namespace only, plays the demo's instruments and prints "ready".
"""
import heapq
import selectors
import socket
import struct
import sys
import threading
import time

JUNK_ADDRESS = "127.0.9.9"


class Instrument:
    """vxi11_port: answered to GETPORT and served (None: no portmapper);
    services: {"_lxi._tcp": 80, ...} announced; scpi_port: raw SCPI server."""

    def __init__(self, address, idn=b"", vxi11_port=None, services=None, scpi_port=None, name=None, txt=(),
                 dead=False):
        self.address, self.idn, self.vxi11_port, self.services = address, idn, vxi11_port, dict(services or {})
        self.scpi_port, self.name, self.dead = scpi_port, name or "Instrument " + address, dead
        self.txt = [t.encode() for t in txt]


def record(owner, kind, rdata, cache_flush=False):
    return owner + struct.pack(">HHIH", kind, 0x8001 if cache_flush else 1, 120, len(rdata)) + rdata


def pointer(offset):
    return struct.pack(">H", 0xC000 | offset)


def mdns_answer(instrument, query):
    """The legacy unicast reply of instrument to query, or None."""
    offsets, at = {}, 12
    for _ in range(struct.unpack(">H", query[4:6])[0]):
        start, parts = at, []
        while query[at]:
            parts.append(query[at + 1:at + 1 + query[at]].decode())
            at += 1 + query[at]
        at += 5
        offsets[".".join(parts)] = start
    wanted = [(s, p) for s, p in instrument.services.items() if s + ".local" in offsets]
    if not wanted:
        return None
    message = bytearray(query[:2] + b"\x84\x00" + query[4:6] + struct.pack(">HHH", len(wanted), 0, 3 * len(wanted)))
    message += query[12:at]
    host = b"".join(bytes([len(p)]) + p.encode() for p in ("h" + instrument.address.replace(".", "-"), "local")) + b"\0"
    for service, port in wanted:
        name = instrument.name.encode()
        message += record(pointer(offsets[service + ".local"]), 12, bytes([len(name)]) + name +
                          pointer(offsets[service + ".local"]))
        instance = pointer(len(message) - len(name) - 3)
        message += record(instance, 33, struct.pack(">HHH", 0, 0, port) + host)
        host_at = len(message) - len(host)
        message += record(instance, 16, b"".join(bytes([len(t)]) + t for t in instrument.txt) or b"\0")
        message += record(pointer(host_at), 1, socket.inet_aton(instrument.address), True)
    return bytes(message)


def rpc_reply(xid, results):
    return struct.pack(">6I", xid, 1, 0, 0, 0, 0) + results


class FakeLxi:
    def __init__(self, instruments, junk=(), delay=0.003, interface="127.0.0.1"):
        self.instruments, self.junk, self.delay = list(instruments), list(junk), delay
        self.queries, self.tcp_bytes, self.timers, self.sockets = [], {}, [], []
        self.selector = selectors.DefaultSelector()
        self.watch(self.udp(("0.0.0.0", 111)), "query", 111)
        mdns = self.udp(("0.0.0.0", 5353))
        mdns.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, socket.inet_aton("224.0.0.251") +
                        socket.inet_aton(interface))
        self.watch(mdns, "query", 5353)
        self.senders = {a: self.udp((a, 0)) for a in [i.address for i in self.instruments] + [JUNK_ADDRESS]}
        for i in self.instruments:
            for port, kind in ((i.vxi11_port, "vxi11"), (i.scpi_port, "scpi")):
                if port:
                    self.listen(i, port, kind)
        self.wake_read, self.wake_write = socket.socketpair()
        self.watch(self.wake_read, "wake", None)

    def udp(self, address):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind(address)
        self.sockets.append(s)
        return s

    def watch(self, s, kind, data):
        s.setblocking(False)
        self.selector.register(s, selectors.EVENT_READ, (kind, data))

    def listen(self, instrument, port, kind):
        server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        server.bind((instrument.address, port))
        self.sockets.append(server)
        # A backlog of 0 takes one connection; a dead instrument's is filled here and never accepted.
        server.listen(0 if instrument.dead else 64)
        if instrument.dead:
            self.sockets.append(socket.create_connection((instrument.address, port)))
        else:
            self.watch(server, "accept", (instrument, kind))

    def start(self):
        self.thread = threading.Thread(target=self.loop, daemon=True)
        self.thread.start()
        return self

    def stop(self):
        self.wake_write.send(b"x")
        self.thread.join(10)
        for s in self.sockets + [self.wake_read, self.wake_write]:
            s.close()

    __enter__ = start

    def __exit__(self, *exc):
        self.stop()

    def loop(self):
        while True:
            timeout = max(0.0, self.timers[0][0] - time.monotonic()) if self.timers else None
            for key, _ in self.selector.select(timeout):
                kind, data = key.data
                if kind == "wake":
                    return
                getattr(self, "on_" + kind)(key.fileobj, data)
            while self.timers and self.timers[0][0] <= time.monotonic():
                heapq.heappop(self.timers)[2]()

    def on_query(self, s, port):
        data, source = s.recvfrom(65536)
        self.queries.append((port, source, data))
        replies = [(JUNK_ADDRESS, make(data)) for make in self.junk]
        for i in self.instruments:
            if port == 111 and i.vxi11_port and len(data) == 56 and data[40:44] == b"\x00\x06\x07\xaf":
                replies.append((i.address, rpc_reply(struct.unpack(">I", data[:4])[0], struct.pack(">I", i.vxi11_port))))
            elif port == 5353:
                replies.append((i.address, mdns_answer(i, data)))
        for address, reply in replies:
            if reply is not None:
                heapq.heappush(self.timers, (time.monotonic() + self.delay, id(reply),
                                             lambda a=address, r=reply: self.senders[a].sendto(r, source)))

    def on_accept(self, server, data):
        conn, _ = server.accept()
        self.sockets.append(conn)
        self.watch(conn, "tcp", {"instrument": data[0], "kind": data[1], "buffer": b"", "pending": b""})

    def on_tcp(self, conn, state):
        try:
            data = conn.recv(65536)
        except OSError:
            data = b""
        if not data:
            self.selector.unregister(conn)
            return conn.close()
        instrument = state["instrument"]
        self.tcp_bytes[instrument.address] = self.tcp_bytes.get(instrument.address, b"") + data
        state["buffer"] += data
        while state["kind"] == "scpi" and b"\n" in state["buffer"]:
            line, state["buffer"] = state["buffer"].split(b"\n", 1)
            if line.strip().upper() == b"*IDN?":
                conn.sendall(instrument.idn + b"\n")
        while state["kind"] == "vxi11" and len(state["buffer"]) >= 4:
            length = struct.unpack(">I", state["buffer"][:4])[0] & 0x7FFFFFFF
            if len(state["buffer"]) < 4 + length:
                return
            call, state["buffer"] = state["buffer"][4:4 + length], state["buffer"][4 + length:]
            reply = self.core_reply(instrument, state, call)
            # In two fragments, as some instruments send them.
            conn.sendall(struct.pack(">I", 8) + reply[:8] + struct.pack(">I", 0x80000000 | len(reply) - 8) + reply[8:])

    @staticmethod
    def core_reply(instrument, state, call):
        xid, procedure = struct.unpack(">I", call[:4])[0], struct.unpack(">I", call[20:24])[0]
        args = call[40:]  # past empty credential and verifier
        if procedure == 10:  # create_link: link 7
            return rpc_reply(xid, struct.pack(">4I", 0, 7, 0, 1024))
        if procedure == 11:  # device_write
            length = struct.unpack(">I", args[16:20])[0]
            if args[20:20 + length].strip().upper() == b"*IDN?":
                state["pending"] = instrument.idn + b"\n"
            return rpc_reply(xid, struct.pack(">2I", 0, length))
        if procedure == 12:  # device_read: END with the last piece, error 15 (time-out) when nothing waits
            size = struct.unpack(">I", args[4:8])[0]
            data, state["pending"] = state["pending"][:size], state["pending"][size:]
            return rpc_reply(xid, struct.pack(">3I", 0 if data else 15, 1 if state["pending"] else 4, len(data)) +
                             data + b"\0" * (-len(data) % 4))
        return rpc_reply(xid, struct.pack(">I", 0))


def numbered(count, first="127.0.2.1"):
    """count VXI-11 instruments on consecutive addresses."""
    start = struct.unpack(">I", socket.inet_aton(first))[0]
    return [Instrument(socket.inet_ntoa(struct.pack(">I", start + n)), idn=b"Maker,Model,SN%04d,1.0" % n,
                       vxi11_port=1024) for n in range(count)]


DEMO = [
    Instrument("192.168.1.30", idn=b"Keysight Technologies,DSOX1204G,CN60000030,2.12", vxi11_port=1024,
               services={"_lxi._tcp": 80, "_vxi-11._tcp": 111, "_scpi-raw._tcp": 5025}, scpi_port=5025,
               name="Keysight DSOX1204G - CN60000030", txt=["Manufacturer=Keysight Technologies", "Model=DSOX1204G"]),
    Instrument("192.168.1.31", idn=b"Siglent Technologies,SDM3045X,SDM30000031,1.01.01.25",
               services={"_scpi-raw._tcp": 5025}, scpi_port=5025, name="SDM3045X"),
]

if __name__ == "__main__" and sys.argv[1:] == ["--demo"]:
    with FakeLxi(DEMO, interface=DEMO[0].address):
        print("ready", flush=True)
        threading.Event().wait()
