"""Simulated LAN instruments (standard library only, independent of the program's code), each on its own address.
A few ms after a query each answers GETPORT (UDP 111) and legacy unicast mDNS (224.0.0.251:5353 on `interface`: PTR,
SRV, TXT and A per service asked for, names compressed); VXI-11 core and raw SCPI servers answer "*IDN?"; a dead
instrument's TCP ports hang (accept queue full); `call_delay` seconds pass before each TCP answer. Each `junk` callable
maps a query to what 127.0.9.9 sends back (None: nothing). Keeps the `queries` and `tcp_bytes` per address. The VXI-11
core channel takes any number of commands per link: a message (device_write parts up to END) holding "?" queues
`replies[message]` (default the identity for "*IDN?"), `delay` s later; device_read hands it out in pieces of its
request size, END with the last. `link_error` refuses create_link with that error. `links` keeps (address, device,
link id) per create_link, `destroyed` the ids. `--demo`: the demo's instruments (the multimeter also over HiSLIP), in a
namespace only."""
import collections
import contextlib
import selectors
import socket
import struct
import sys
import threading
import time

JUNK_ADDRESS = "127.0.9.9"


class Instrument:
    def __init__(self, address, idn=b"", vxi11_port=None, services=(), scpi_port=None, name=None, txt=(), dead=False,
                 replies=None, delay=0.0, link_error=0, call_delay=0.0):
        self.address, self.idn, self.vxi11_port, self.services = address, idn, vxi11_port, dict(services)
        self.scpi_port, self.name, self.txt, self.dead = scpi_port, name or "Instrument " + address, txt, dead
        self.replies = {k.upper(): v for k, v in (replies or {b"*IDN?": idn + b"\n"}).items()}
        self.delay, self.link_error, self.call_delay = delay, link_error, call_delay


def label(text):
    return bytes([len(text)]) + text


def record(owner_at, kind, rdata, cache_flush=False):
    """A record whose owner is the name at offset owner_at."""
    return struct.pack(">HHHIH", 0xC000 | owner_at, kind, 0x8001 if cache_flush else 1, 120, len(rdata)) + rdata


def mdns_answer(instrument, query):
    offsets, at = {}, 12
    for _ in range(struct.unpack(">H", query[4:6])[0]):
        start, parts = at, []
        while query[at]:
            parts.append(query[at + 1:at + 1 + query[at]].decode())
            at += 1 + query[at]
        offsets[".".join(parts)], at = start, at + 5
    wanted = [(s, p) for s, p in instrument.services.items() if s + ".local" in offsets]
    if not wanted:
        return None
    message = bytearray(query[:2] + b"\x84\x00" + query[4:6] + struct.pack(">HHH", len(wanted), 0, 3 * len(wanted)) +
                        query[12:at])
    host = label(b"h" + instrument.address.replace(".", "-").encode()) + label(b"local") + b"\0"
    name = label(instrument.name.encode())
    for service, port in wanted:
        service_at = offsets[service + ".local"]
        message += record(service_at, 12, name + struct.pack(">H", 0xC000 | service_at))
        instance_at = len(message) - len(name) - 2
        message += record(instance_at, 33, struct.pack(">HHH", 0, 0, port) + host)
        host_at = len(message) - len(host)
        message += record(instance_at, 16, b"".join(label(t.encode()) for t in instrument.txt) or b"\0")
        message += record(host_at, 1, socket.inet_aton(instrument.address), True)
    return bytes(message)


def rpc_reply(xid, results):
    return xid + struct.pack(">5I", 1, 0, 0, 0, 0) + results


def core_reply(fake, instrument, state, call):
    xid, procedure, args = call[:4], struct.unpack(">I", call[20:24])[0], call[40:]  # past credential and verifier
    if procedure == 10:  # create_link: device name after clientId, lockDevice, lock_timeout
        if instrument.link_error:
            return rpc_reply(xid, struct.pack(">4I", instrument.link_error, 0, 0, 0))
        length = struct.unpack(">I", args[12:16])[0]
        with fake.lock:
            link = len(fake.links) + 7
            fake.links.append((instrument.address, args[16:16 + length], link))
        return rpc_reply(xid, struct.pack(">4I", 0, link, 0, 1024))
    if procedure == 11:  # device_write: a message ends with the END flag (8)
        flags, length = struct.unpack(">2I", args[12:20])
        state["message"] += args[20:20 + length]
        if flags & 8:
            text, state["message"] = state["message"].strip(), b""
            if b"?" in text:
                time.sleep(instrument.delay)
                state["pending"] = instrument.replies.get(text.upper(), b"")
        return rpc_reply(xid, struct.pack(">2I", 0, length))
    if procedure == 12:  # device_read: END with the last piece, error 15 (time-out) when nothing waits
        size = struct.unpack(">I", args[4:8])[0]
        data, state["pending"] = state["pending"][:size], state["pending"][size:]
        return rpc_reply(xid, struct.pack(">3I", 0 if data else 15, 1 if state["pending"] else 4, len(data)) +
                         data + b"\0" * (-len(data) % 4))
    if procedure == 23:
        fake.destroyed.append(struct.unpack(">I", args[:4])[0])
    return rpc_reply(xid, struct.pack(">I", 0))


class FakeLxi:
    def __init__(self, instruments, junk=(), interface="127.0.0.1"):
        self.instruments, self.junk, self.queries, self.sockets = list(instruments), list(junk), [], []
        self.tcp_bytes, self.selector, self.running = collections.defaultdict(bytes), selectors.DefaultSelector(), True
        self.links, self.destroyed, self.lock = [], [], threading.Lock()
        self.watch(self.bound(socket.SOCK_DGRAM, ("0.0.0.0", 111)), "query", 111)
        mdns = self.bound(socket.SOCK_DGRAM, ("0.0.0.0", 5353))
        mdns.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, socket.inet_aton("224.0.0.251") +
                        socket.inet_aton(interface))
        self.watch(mdns, "query", 5353)
        self.senders = {a: self.bound(socket.SOCK_DGRAM, (a, 0))
                        for a in [i.address for i in self.instruments] + [JUNK_ADDRESS]}
        for i in self.instruments:
            for port, kind in ((i.vxi11_port, "vxi11"), (i.scpi_port, "scpi")):
                if port:
                    self.listen(i, port, kind)

    def bound(self, kind, address):
        s = socket.socket(socket.AF_INET, kind)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind(address)
        self.sockets.append(s)
        return s

    def watch(self, s, kind, data):
        s.setblocking(False)
        self.selector.register(s, selectors.EVENT_READ, (kind, data))

    def listen(self, instrument, port, kind):
        server = self.bound(socket.SOCK_STREAM, (instrument.address, port))
        # A backlog of 0 takes one connection; a dead instrument's is filled here and never accepted.
        server.listen(0 if instrument.dead else 64)
        if instrument.dead:
            self.sockets.append(socket.create_connection((instrument.address, port)))
        else:
            self.watch(server, "accept", (instrument, kind))

    def __enter__(self):
        self.thread = threading.Thread(target=self.loop, daemon=True)
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.running = False
        self.thread.join(10)
        for s in self.sockets:
            s.close()

    def loop(self):
        while self.running:
            for key, _ in self.selector.select(0.05):
                getattr(self, "on_" + key.data[0])(key.fileobj, key.data[1])

    def on_query(self, s, port):
        data, source = s.recvfrom(65536)
        self.queries.append(data)
        getport = port == 111 and len(data) == 56 and data[40:44] == b"\x00\x06\x07\xaf"
        replies = [(JUNK_ADDRESS, make(data)) for make in self.junk] + [
            (i.address, rpc_reply(data[:4], struct.pack(">I", i.vxi11_port)) if getport else mdns_answer(i, data))
            for i in self.instruments if port == 5353 or getport and i.vxi11_port]
        for address, reply in replies:
            if reply is not None:
                threading.Timer(0.003, self.senders[address].sendto, (reply, source)).start()

    def on_accept(self, server, data):
        conn = server.accept()[0]
        self.sockets.append(conn)
        threading.Thread(target=self.converse, args=(conn, *data), daemon=True).start()

    def converse(self, conn, instrument, kind):
        reader, state = conn.makefile("rb"), {"pending": b"", "message": b""}
        with conn, reader, contextlib.suppress(OSError):
            while message := reader.readline() if kind == "scpi" else reader.read(4):
                time.sleep(instrument.call_delay)
                if kind == "scpi" and message.strip().upper() == b"*IDN?":
                    conn.sendall(instrument.idn + b"\n")
                elif kind == "vxi11":
                    message += reader.read(struct.unpack(">I", message)[0] & 0x7FFFFFFF)
                    reply = core_reply(self, instrument, state, message[4:])
                    # In two fragments, as some instruments send them.
                    conn.sendall(struct.pack(">I", 8) + reply[:8] + struct.pack(">I", 0x80000000 | len(reply) - 8) +
                                 reply[8:])
                self.tcp_bytes[instrument.address] += message


DEMO = [
    Instrument("192.168.1.30", idn=b"Keysight Technologies,DSOX1204G,CN60000030,2.12", vxi11_port=1024,
               services={"_lxi._tcp": 80, "_vxi-11._tcp": 111, "_scpi-raw._tcp": 5025}, scpi_port=5025,
               name="Keysight DSOX1204G - CN60000030", txt=["Manufacturer=Keysight Technologies", "Model=DSOX1204G"]),
    Instrument("192.168.1.31", idn=b"Siglent Technologies,SDM3045X,SDM30000031,1.01.01.25",
               services={"_scpi-raw._tcp": 5025}, scpi_port=5025, name="SDM3045X"),
]

if __name__ == "__main__" and sys.argv[1:] == ["--demo"]:
    from fake_hislip import FakeHislip  # the multimeter speaks HiSLIP too
    with FakeLxi(DEMO, interface=DEMO[0].address), FakeHislip({b"*IDN?": DEMO[1].idn + b"\n"},
                                                               address=DEMO[1].address, port=4880):
        print("ready", flush=True)
        threading.Event().wait()
