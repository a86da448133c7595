"""Simulated LAN instruments (standard library only, independent of the program's code), each on its own address.
A few ms after a query each answers GETPORT (UDP 111) and legacy unicast mDNS (224.0.0.251:5353 on `interface`: PTR,
SRV, TXT and A per service asked for, names compressed; with `ptr_only` the PTR records alone, and a follow-up question
for an SRV, TXT or A record with that record alone if its type is in `resolves`; from `mdns_from`, by default its own
address); VXI-11 core and raw SCPI servers answer "*IDN?"; an HTTP server on `http` = (port, kind) serves GET
/lxi/identification: "document" (chunked), "malformed", "huge" (32 MiB announced and sent until the peer closes) or
"slow" (a byte every 50 ms); a dead instrument's TCP ports hang (accept queue full); `call_delay` seconds pass before
each TCP answer. Each `junk` callable maps a query to what 127.0.9.9 sends back (None: nothing). Keeps the `queries`
and `tcp_bytes` per address. The VXI-11 core channel takes any number of commands per link: a message (device_write
parts up to END) holding "?" queues `replies[message]` (default the identity for "*IDN?"), `delay` s later;
device_read hands it out in pieces of its request size, END with the last. `link_error` refuses create_link with that
error. `links` keeps (address, device, link id) per create_link, `destroyed` the ids. `--demo`: the demo's instruments
(the multimeter also over HiSLIP), in a namespace only."""
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
                 replies=None, delay=0.0, link_error=0, call_delay=0.0,
                 ptr_only=False, resolves=(33, 16, 1), mdns_from=None, http=None):
        self.address, self.idn, self.vxi11_port, self.services = address, idn, vxi11_port, dict(services)
        self.scpi_port, self.name, self.txt, self.dead = scpi_port, name or "Instrument " + address, txt, dead
        self.replies = {k.upper(): v for k, v in (replies or {b"*IDN?": idn + b"\n"}).items()}
        self.delay, self.link_error, self.call_delay = delay, link_error, call_delay
        self.ptr_only, self.resolves, self.mdns_from, self.http = ptr_only, resolves, mdns_from or address, http
        self.host = "h" + address.replace(".", "-") + ".local"

def identification(instrument):
    """The identification document: a namespace, its address on DHCP, a second interface static, one of IPv6."""
    last = int(instrument.address.split(".")[-1])
    return ("""<?xml version="1.0" encoding="UTF-8"?>
<LXIDevice xmlns="http://www.lxistandard.org/InstrumentIdentification/1.0"
 xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
 <Manufacturer>Maker</Manufacturer><Model>M%(last)d</Model><SerialNumber>%(last)d</SerialNumber>
 <Interface xsi:type="NetworkInformation" InterfaceType="LXI" IPType="IPv4" InterfaceName="eth0">
  <InstrumentAddressString>TCPIP::%(a)s::INSTR</InstrumentAddressString>
  <Hostname>%(host)s</Hostname><IPAddress>%(a)s</IPAddress><SubnetMask>255.255.255.0</SubnetMask>
  <MACAddress>00-80-2F-00-00-%(last)02X</MACAddress><Gateway>192.168.1.1</Gateway>
  <DHCPEnabled>true</DHCPEnabled><AutoIPEnabled>true</AutoIPEnabled>
 </Interface>
 <Interface InterfaceType="LXI" IPType="IPv6" InterfaceName="eth0"><IPAddress>fe80::1</IPAddress></Interface>
 <Interface InterfaceType="LXI" IPType="IPv4" InterfaceName="eth1">
  <Hostname>service-port</Hostname><IPAddress>10.0.0.%(last)d</IPAddress><SubnetMask>255.0.0.0</SubnetMask>
  <MACAddress>00:80:2f:00:01:%(last)02x</MACAddress><Gateway>10.0.0.1</Gateway>
  <DHCPEnabled>false</DHCPEnabled><AutoIPEnabled>false</AutoIPEnabled>
 </Interface>
</LXIDevice>
""" % {"a": instrument.address, "last": last, "host": instrument.host}).encode()


def label(text):
    return bytes([len(text)]) + text


def record(owner_at, kind, rdata, cache_flush=False):
    """A record whose owner is the name at offset owner_at."""
    return struct.pack(">HHHIH", 0xC000 | owner_at, kind, 0x8001 if cache_flush else 1, 120, len(rdata)) + rdata


def mdns_answer(instrument, query):
    questions, at = [], 12
    for _ in range(struct.unpack(">H", query[4:6])[0]):
        start, parts = at, []
        while query[at]:
            parts.append(query[at + 1:at + 1 + query[at]].decode("latin-1"))
            at += 1 + query[at]
        questions.append((start, ".".join(parts), struct.unpack(">H", query[at + 1:at + 3])[0]))
        at += 5
    message = bytearray(query[12:at])
    host = b"".join(label(part.encode()) for part in instrument.host.split(".")) + b"\0"
    name, count = label(instrument.name.encode()), 0

    def add(*records):
        nonlocal message, count
        for owner_at, kind, rdata, *flush in records:
            message += record(owner_at, kind, rdata, *flush)
            count += 1

    srv = lambda port: struct.pack(">HHH", 0, 0, port) + host
    txt = b"".join(label(t.encode()) for t in instrument.txt) or b"\0"
    address = socket.inet_aton(instrument.address)
    for start, asked, kind in questions:
        for service, port in instrument.services.items():
            if kind == 12 and asked == service + ".local":
                add((start, 12, name + struct.pack(">H", 0xC000 | start)))
                if not instrument.ptr_only:
                    instance_at = len(message) + 12 - len(name) - 2
                    add((instance_at, 33, srv(port)))
                    host_at = len(message) + 12 - len(host)
                    add((instance_at, 16, txt), (host_at, 1, address, True))
            elif asked == instrument.name + "." + service + ".local" and kind in instrument.resolves:
                add((start, kind, srv(port) if kind == 33 else txt, True)) if kind in (33, 16) else None
        if kind == 1 and asked == instrument.host and 1 in instrument.resolves:
            add((start, 1, address, True))
    if not count:
        return None
    return bytes(query[:2] + b"\x84\x00" + query[4:6] + struct.pack(">HHH", count, 0, 0) + message)


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
                        for a in {i.mdns_from for i in self.instruments} | {i.address for i in self.instruments} |
                        {JUNK_ADDRESS}}
        for i in self.instruments:
            for port, kind in ((i.vxi11_port, "vxi11"), (i.scpi_port, "scpi"), (i.http and i.http[0], "http")):
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
            (i.address, rpc_reply(data[:4], struct.pack(">I", i.vxi11_port))) if getport else
            (i.mdns_from, mdns_answer(i, data)) for i in self.instruments if port == 5353 or getport and i.vxi11_port]
        for address, reply in replies:
            if reply is not None:
                threading.Timer(0.003, self.senders[address].sendto, (reply, source)).start()

    def on_accept(self, server, data):
        conn = server.accept()[0]
        self.sockets.append(conn)
        threading.Thread(target=self.converse, args=(conn, *data), daemon=True).start()

    def serve_http(self, conn, reader, instrument):
        request = b""
        while (line := reader.readline()) not in (b"\r\n", b"\n", b""):
            request += line
        self.tcp_bytes[instrument.address] += request + line
        kind, head = instrument.http[1], b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n"
        document = identification(instrument)
        if kind == "document":
            half = len(document) // 2
            conn.sendall(head + b"Transfer-Encoding: chunked\r\n\r\n" + b"".join(
                b"%x\r\n%s\r\n" % (len(part), part) for part in (document[:half], document[half:], b"")))
        elif kind == "malformed":
            broken = document.replace(b"</Hostname>", b"</Host>", 1)
            conn.sendall(head + b"Content-Length: %d\r\n\r\n" % len(broken) + broken)
        elif kind == "huge":
            conn.sendall(head + b"Content-Length: %d\r\n\r\n" % (32 << 20) + document[:-20])
            for _ in range(32 << 20 >> 16):
                conn.sendall(b"<a>" * 21845 + b"x")
        elif kind == "slow":
            conn.sendall(head + b"Content-Length: %d\r\n\r\n" % len(document))
            for byte in document:
                conn.sendall(bytes([byte]))
                time.sleep(0.05)

    def converse(self, conn, instrument, kind):
        reader, state = conn.makefile("rb"), {"pending": b"", "message": b""}
        with conn, reader, contextlib.suppress(OSError):
            if kind == "http":
                return self.serve_http(conn, reader, instrument)
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
               name="Keysight DSOX1204G - CN60000030", txt=["Manufacturer=Keysight Technologies", "Model=DSOX1204G"],
               http=(80, "document")),
    Instrument("192.168.1.31", idn=b"Siglent Technologies,SDM3045X,SDM30000031,1.01.01.25",
               services={"_scpi-raw._tcp": 5025}, scpi_port=5025, name="SDM3045X"),
]

if __name__ == "__main__" and sys.argv[1:] == ["--demo"]:
    from fake_hislip import FakeHislip  # the multimeter speaks HiSLIP too
    with FakeLxi(DEMO, interface=DEMO[0].address), FakeHislip({b"*IDN?": DEMO[1].idn + b"\n"},
                                                               address=DEMO[1].address, port=4880):
        print("ready", flush=True)
        threading.Event().wait()
