"""Simulated Rurev Izurovozeva power supplies for end-to-end tests, the demo and
the benchmarks (Python standard library only, independent of the program's code).

One `FakeSupplies` object plays any number of supplies, each with a MAC address
and an IPv4 address of its own (every 127.0.0.0/8 address is local in a private
network namespace, so hundreds fit on the loopback interface). It

- listens for UDP datagrams on the query port (7024) of all interfaces and
  records every datagram it receives: arrival time, source, destination, bytes;
- answers the discovery query (one byte 0x05) and the re-query (0x00) from each
  supply's own address, a few milliseconds later as real supplies do, with the
  supply's reply sent to the query's source address and the reply port (7025);
  a datagram sent to one supply's address only reaches that supply, a broadcast
  reaches them all;
- applies the configuration datagrams addressed to a supply's MAC: DHCP mode
  (0x04, MAC, mode, "8052719") at once, the address (0x01, MAC, IP, mask,
  gateway) when the reset datagram (0x02, MAC) follows; each change is recorded
  in `events` and shows in the supply's next reply; datagrams for other MACs
  are ignored;
- answers text commands over TCP on each supply's address and the TCP port
  (8462): "*idn?" with the identity, "*idn?;system:interface:type all?" with the
  identity and the interface list, other queries from a table; every command is
  recorded with its arrival time.

Reply layout (offsets in bytes): 0 MAC (6), 6 IP (4), 10 mask (4), 14 gateway (4),
18 serial number (12), 30 one byte, 31 PUD text (72), 103 four bytes, 107 DHCP
state (1 = DHCP), then filler up to the supply's reply length.

Standalone (for the demo and by hand, inside a private namespace only):
    python3 fake_supply.py --count 5 [--first 127.0.1.1] [--length 108] [--delay-ms 5]
    python3 fake_supply.py --demo      (the supplies of scripts/demo, on 192.168.1.21-24)
prints "ready" once every socket is bound, then one line per event, and runs
until stopped.
"""
import argparse
import collections
import heapq
import ipaddress
import selectors
import socket
import sys
import threading
import time

from timing import TIMESTAMP_SPACE, arrival, keep_schedule, stamp_arrivals

QUERY = b"\x05"
REQUERY = b"\x00"
DHCP_CODE = b"8052719"
IP_PKTINFO = 8  # Linux: ancillary data with the destination address of a datagram
INTERFACE_QUERY = b"*idn?;system:interface:type all?"

Datagram = collections.namedtuple("Datagram", "time source destination data")
Command = collections.namedtuple("Command", "time supply text")


def mac_bytes(text):
    return bytes.fromhex(text.replace("-", "").replace(":", ""))


def mac_text(raw):
    return "-".join("%02X" % b for b in raw)


def dotted_bytes(text):
    return ipaddress.IPv4Address(text).packed


class Supply:
    """One supply: what it answers and its Ethernet set-up.

    length: reply length in bytes (1 to 1400); shorter than 108 cuts the layout.
    reply: bytes sent instead of the built reply (any length, any content).
    answers: the query bytes it answers.
    idn, interfaces: the TCP answers; queries: other TCP queries (bytes -> bytes).
    tcp: False for a supply that takes no TCP connection.
    delay, tcp_delay: seconds before a UDP reply and before a TCP answer.
    """

    def __init__(self, mac, address, ip=None, mask="255.255.255.0", gateway=None, serial=b"SN0000000001",
                 pud=b"PSU", dhcp=False, length=108, reply=None, answers=(QUERY, REQUERY), idn=None,
                 interfaces=b"LAN", queries=None, tcp=True, delay=0.005, tcp_delay=0.002):
        self.mac = mac_bytes(mac) if isinstance(mac, str) else bytes(mac)
        self.address = address
        self.ip = ip or address
        self.mask = mask
        self.gateway = gateway or str(ipaddress.IPv4Address(self.ip)).rsplit(".", 1)[0] + ".1"
        self.serial = serial
        self.pud = pud
        self.dhcp = dhcp
        self.length = length
        self.fixed_reply = reply
        self.answers = set(answers)
        self.idn = idn if idn is not None else b"Rurev Izurovozeva,PSU," + serial + b",1.0"
        self.interfaces = interfaces
        self.queries = dict(queries or {})
        self.tcp = tcp
        self.delay = delay
        self.tcp_delay = tcp_delay
        self.pending_address = None

    def reply(self):
        if self.fixed_reply is not None:
            return self.fixed_reply
        body = (self.mac + dotted_bytes(self.ip) + dotted_bytes(self.mask) + dotted_bytes(self.gateway)
                + self.serial[:12].ljust(12, b"\0") + b"\x01" + self.pud[:72].ljust(72, b"\0") + b"\0\0\0\0"
                + (b"\x01" if self.dhcp else b"\x00"))
        return (body + b"\xEE" * max(0, self.length - len(body)))[:self.length]

    def tcp_answer(self, command):
        if command.lower() == b"*idn?":
            return self.idn + b"\n"
        if command.lower() == INTERFACE_QUERY:
            return self.idn + b";" + self.interfaces + b"\n"
        return self.queries.get(command)


class FakeSupplies:
    def __init__(self, supplies, query_port=7024, reply_port=7025, tcp_port=8462, on_event=None):
        self.supplies = list(supplies)
        self.query_port = query_port
        self.reply_port = reply_port
        self._bound_seen = None   # (time, local addresses of UDP sockets)
        self._held = {}           # query source -> supplies whose answers wait for its sender
        self.tcp_port = tcp_port
        self.on_event = on_event
        self.datagrams = []
        self.commands = []
        self.events = []
        self.lock = threading.Lock()
        self.selector = selectors.DefaultSelector()
        self.timers = []  # heap of (due, sequence, action)
        self.sequence = 0
        self.stopping = False
        self.thread = None
        self.sockets = []
        self.buffers = {}  # open TCP connections: bytes received, not yet a whole command
        self.by_address = {s.address: s for s in self.supplies}

        self.listener = self._udp(("0.0.0.0", query_port))
        self.listener.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
        stamp_arrivals(self.listener)
        self.selector.register(self.listener, selectors.EVENT_READ, ("udp", None))
        for supply in self.supplies:
            # Each supply answers from its own address.
            supply.socket = self._udp((supply.address, 0))
            if supply.tcp:
                server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
                server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
                server.bind((supply.address, tcp_port))
                server.listen(16)
                server.setblocking(False)
                self.sockets.append(server)
                self.selector.register(server, selectors.EVENT_READ, ("accept", supply))
        # Wakes the loop for stop().
        self.wake_read, self.wake_write = socket.socketpair()
        self.selector.register(self.wake_read, selectors.EVENT_READ, ("wake", None))

    def _udp(self, address):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 1 << 20)
        s.bind(address)
        s.setblocking(False)
        self.sockets.append(s)
        return s

    # ------------------------------------------------------------ life cycle

    def start(self):
        self.thread = threading.Thread(target=self._loop, daemon=True)
        self.thread.start()
        return self

    def stop(self):
        self.stopping = True
        try:
            self.wake_write.send(b"x")
        except OSError:
            pass
        if self.thread:
            self.thread.join(10)
        for s in self.sockets + list(self.buffers) + [self.wake_read, self.wake_write]:
            s.close()
        self.selector.close()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # ------------------------------------------------------------ what was seen

    def received(self, data=None):
        """Datagrams received so far (only those with these bytes, if given)."""
        with self.lock:
            return [d for d in self.datagrams if data is None or d.data == data]

    def commands_for(self, supply):
        with self.lock:
            return [c for c in self.commands if c.supply is supply]

    def wait_for(self, condition, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with self.lock:
                if condition():
                    return True
            time.sleep(0.005)
        return False

    # ------------------------------------------------------------ the loop

    def _later(self, delay, action):
        self.sequence += 1
        heapq.heappush(self.timers, (time.monotonic() + delay, self.sequence, action))

    def _loop(self):
        keep_schedule()
        while not self.stopping:
            timeout = None
            if self.timers:
                timeout = max(0.0, self.timers[0][0] - time.monotonic())
            for key, _ in self.selector.select(timeout):
                kind, supply = key.data
                if kind == "udp":
                    self._read_datagrams()
                elif kind == "accept":
                    self._accept(key.fileobj, supply)
                elif kind == "tcp":
                    self._read_command(key.fileobj, supply)
                else:
                    return
            now = time.monotonic()
            while self.timers and self.timers[0][0] <= now:
                _, _, action = heapq.heappop(self.timers)
                action()

    def _read_datagrams(self):
        while True:
            try:
                data, ancillary, _, source = self.listener.recvmsg(65536, socket.CMSG_SPACE(12) + TIMESTAMP_SPACE)
            except (BlockingIOError, InterruptedError):
                return
            except OSError:
                continue
            arrived = arrival(ancillary, time.monotonic())
            destination = None
            for level, kind, value in ancillary:
                if level == socket.IPPROTO_IP and kind == IP_PKTINFO and len(value) >= 12:
                    destination = socket.inet_ntoa(value[8:12])
            with self.lock:
                self.datagrams.append(Datagram(arrived, source, destination, data))
            one = self.by_address.get(destination)
            for supply in [one] if one else self.supplies:
                self._take(supply, data, source)

    def _take(self, supply, data, source):
        if len(data) == 1 and data in supply.answers:
            self._later(supply.delay, lambda: self._answer(supply, source))
        elif len(data) == 15 and data[0] == 0x04 and data[1:7] == supply.mac and data[8:] == DHCP_CODE:
            supply.dhcp = data[7] == 1
            self._event(supply, "dhcp on" if supply.dhcp else "dhcp off")
        elif len(data) == 19 and data[0] == 0x01 and data[1:7] == supply.mac:
            supply.pending_address = tuple(str(ipaddress.IPv4Address(data[i:i + 4])) for i in (7, 11, 15))
            self._event(supply, "address %s mask %s gateway %s pending" % supply.pending_address)
        elif len(data) == 7 and data[0] == 0x02 and data[1:7] == supply.mac:
            if supply.pending_address:
                supply.ip, supply.mask, supply.gateway = supply.pending_address
                supply.pending_address = None
            self._event(supply, "reset: %s %s mask %s gateway %s" % (
                "DHCP" if supply.dhcp else "static", supply.ip, supply.mask, supply.gateway))

    def _answer(self, supply, source):
        """Answers once the query's sender is closed: while a socket stays
        bound to the query's address and port, a reply to that port would go
        to it rather than to the listener bound to all addresses (a real
        supply takes long enough for the sender to be gone). Answers held
        for that go out in the order they were due."""
        held = self._held.get(source)
        if held is not None:
            held.append(supply)
        elif self._still_bound(source, self.reply_port):
            self._held[source] = [supply]
            deadline = time.monotonic() + 2.0
            self._later(0.001, lambda: self._release(source, deadline))
        else:
            self._send_reply(supply, source)

    def _release(self, source, deadline):
        if self._still_bound(source, self.reply_port) and time.monotonic() < deadline:
            self._later(0.001, lambda: self._release(source, deadline))
            return
        for supply in self._held.pop(source):
            self._send_reply(supply, source)

    def _send_reply(self, supply, source):
        try:
            supply.socket.sendto(supply.reply(), (source[0], self.reply_port))
        except OSError:
            pass

    def _still_bound(self, source, reply_port):
        """Whether a UDP socket of this network namespace is bound to the
        query's source address and port, when that is the reply port. One
        look serves the answers due together."""
        if source[1] != reply_port or source[0] == "0.0.0.0":
            return False
        now = time.monotonic()
        if self._bound_seen is None or now - self._bound_seen[0] > 0.0005:
            with open("/proc/net/udp") as table:
                bound = {entry.split()[1] for entry in list(table)[1:]}
            self._bound_seen = (now, bound)
        local = "%08X:%04X" % (int.from_bytes(socket.inet_aton(source[0]), "little"), source[1])
        return local in self._bound_seen[1]

    def _event(self, supply, text):
        line = "%s %s" % (mac_text(supply.mac), text)
        with self.lock:
            self.events.append(line)
        if self.on_event:
            self.on_event(line)

    # ------------------------------------------------------------ TCP

    def _accept(self, server, supply):
        try:
            conn, _ = server.accept()
        except OSError:
            return
        conn.setblocking(False)
        self.buffers[conn] = b""
        self.selector.register(conn, selectors.EVENT_READ, ("tcp", supply))

    def _read_command(self, conn, supply):
        try:
            data = conn.recv(65536)
        except (BlockingIOError, InterruptedError):
            return
        except OSError:
            data = b""
        if not data:
            self.selector.unregister(conn)
            del self.buffers[conn]
            conn.close()
            return
        self.buffers[conn] += data
        while True:
            buffer = self.buffers[conn]
            ends = [i for i in (buffer.find(b"\n"), buffer.find(b"\r")) if i >= 0]
            if not ends:
                return
            cut = min(ends)
            command, self.buffers[conn] = buffer[:cut], buffer[cut + 1:]
            if not command:
                continue
            with self.lock:
                self.commands.append(Command(time.monotonic(), supply, command))
            answer = supply.tcp_answer(command)
            if answer:
                self._later(supply.tcp_delay, lambda c=conn, a=answer: self._send(c, a))

    @staticmethod
    def _send(conn, data):
        try:
            conn.sendall(data)
        except OSError:
            pass


def numbered(count, first="127.0.1.1", length=108, delay=0.005, first_mac=None, **options):
    """count supplies on consecutive addresses, serial numbers SN0000000001 and
    on, and MACs 02-00-00-00-00-01 and on: the last two bytes count in base 64,
    so that no two MACs differ only in letter case (bytes 0x41-0x5A and
    0x61-0x7A). With first_mac ("F4-E1-42-00-03-00", say) the MACs count up by
    one from it instead, as a batch of real supplies does, pairs that differ
    by 0x20 in a letter's range included."""
    start = int(ipaddress.IPv4Address(first))

    def mac(n):
        if first_mac is None:
            return b"\x02\x00\x00\x00" + bytes([(n + 1) // 64 % 64, (n + 1) % 64])
        return (int.from_bytes(mac_bytes(first_mac), "big") + n).to_bytes(6, "big")

    return [Supply(mac=mac(n),
                   address=str(ipaddress.IPv4Address(start + n)),
                   serial=b"SN%010d" % (n + 1), pud=b"Supply %d" % (n + 1), length=length, delay=delay,
                   **options)
            for n in range(count)]


def demo_set():
    """The supplies of the demo, on a network 192.168.1.0/24 (addresses .21 to .24)."""
    maker = b"Rurev Izurovozeva,"
    return [
        Supply("F4-E1-42-00-03-A1", "192.168.1.21", gateway="192.168.1.1", serial=b"PS0000000121",
               pud=b"Rack 1, 60 V / 10 A", dhcp=True, idn=maker + b"PSU 60-10,PS0000000121,2.04",
               interfaces=b"LAN\r\nUSB"),
        Supply("F4-E1-42-00-03-A2", "192.168.1.22", gateway="192.168.1.1", serial=b"PS0000000122",
               pud=b"Rack 1, 30 V / 20 A", length=107, idn=maker + b"PSU 30-20,PS0000000122,1.12"),
        Supply("F4-E1-42-00-03-A3", "192.168.1.23", gateway="192.168.1.1", serial=b"PS0000000085",
               pud=b"Bench, older firmware", length=106, idn=maker + b"PSU 15-5,PS0000000085,0.97"),
        Supply("F4-E1-42-00-03-AB", "192.168.1.24", gateway="192.168.1.1", serial=b"PS0000000131",
               pud=b"New, to be set up", dhcp=True, idn=maker + b"PSU 60-10,PS0000000131,2.04",
               interfaces=b"LAN\r\nUSB\r\nGPIB"),
    ]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--demo", action="store_true", help="the supplies of scripts/demo")
    parser.add_argument("--count", type=int, default=5)
    parser.add_argument("--first", default="127.0.1.1")
    parser.add_argument("--length", type=int, default=108)
    parser.add_argument("--delay-ms", type=float, default=5.0)
    parser.add_argument("--tcp-port", type=int, default=8462)
    args = parser.parse_args()

    def say(line):
        print(line, flush=True)

    supplies = demo_set() if args.demo else numbered(args.count, args.first, args.length, args.delay_ms / 1000.0)
    fake = FakeSupplies(supplies, tcp_port=args.tcp_port, on_event=say)
    fake.start()
    say("ready")
    try:
        while True:
            time.sleep(3600)
    except KeyboardInterrupt:
        pass
    finally:
        fake.stop()


if __name__ == "__main__":
    sys.exit(main())
