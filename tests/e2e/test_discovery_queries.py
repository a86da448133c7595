"""Where the discovery queries go and when: the listening time and the re-query
half-way, /s restarting the listening time, the source and destination switches,
and a listener that cannot bind (/e: see test_configuration). The simulated supplies record every
datagram with its arrival time."""
import socket
import subprocess
import time
import unittest

from supply_support import (AFTER_QUERY_S, LISTEN_S, ON_WINDOWS_BUILD, QUERY, REQUERY, SupplyCase, lines_of,
                            numbered, psulan)

NOTHING = b" No Power Supply found."


class ListeningTime(SupplyCase):
    def query_times(self, fake):
        queries = fake.received(QUERY)
        requeries = fake.received(REQUERY)
        self.assertEqual(len(queries), 1)
        self.assertEqual(len(requeries), 1)
        return queries[0].time, requeries[0].time

    def test_default_listens_2001_ms_and_requeries_half_way(self):
        fake = self.supplies(numbered(1))
        started = time.monotonic()
        run = psulan([])
        self.assertEqual(run.code, 0)
        self.assertEqual(run.out.count(b"\r\nSerial Number: SN0000000001\r\n"), 1)
        query, requery = self.query_times(fake)
        # The listening time starts 50 ms after the query; the re-query goes out
        # when half of it (1000 ms) has passed.
        self.assertDuration(requery - query, AFTER_QUERY_S + 1.001, label="re-query")
        self.assertDuration(started + run.seconds - query, AFTER_QUERY_S + LISTEN_S, label="end")

    def test_fast_listens_100_ms_and_requeries_after_50(self):
        fake = self.supplies(numbered(1))
        started = time.monotonic()
        run = psulan(["/f"])
        self.assertEqual(run.out.count(b"\r\nSerial Number: "), 1)
        query, requery = self.query_times(fake)
        self.assertDuration(requery - query, AFTER_QUERY_S + 0.051, label="re-query")
        self.assertDuration(started + run.seconds - query, AFTER_QUERY_S + 0.100, label="end")

    def test_each_new_supply_restarts_the_listening_time_with_s(self):
        # Each answers 70 ms after the one before: within 100 ms of the last new
        # supply, but the last one after the first 100 ms of listening.
        supplies = numbered(3, queries={b"meas:volt?": b"12.5\n"})
        for supply, delay in zip(supplies, (0.005, 0.120, 0.190)):
            supply.delay = delay
            supply.answers = {QUERY}
        fake = self.supplies(supplies)
        run = psulan(["/f", "/s", "/cmd", "meas:volt?"])
        self.assertEqual(run.out.count(b"\r\nSerial Number: "), 3, run.out)
        self.assertEqual(run.out.count(b"Recv: [12.5]"), 3)
        self.assertEqual([c.text for c in fake.commands], [b"meas:volt?"] * 3)
        run = psulan(["/f"])
        self.assertEqual(run.out.count(b"\r\nSerial Number: "), 2, run.out)


class SourcesAndDestinations(SupplyCase):
    def test_b_sends_from_an_unbound_socket(self):
        # A namespace with loopback alone has no route for the limited broadcast
        # from an unbound socket (a real network has its default route).
        subprocess.run(["ip", "route", "add", "default", "dev", "lo", "src", "127.0.0.1"], check=True)
        self.addCleanup(subprocess.run, ["ip", "route", "del", "default", "dev", "lo"])
        fake = self.supplies(numbered(1))
        run = psulan(["/b", "/v", "/f"])
        self.assertEqual(run.code, 0)
        self.assertNotIn(b"Local Addresses: ", run.full)
        self.assertEqual(run.out.count(lines_of(b"Sender started at: 255.255.255.255")), 2)
        self.assertEqual(run.out.count(b"\r\nSerial Number: "), 1)
        for datagram in fake.received():
            self.assertNotEqual(datagram.source[1], 7025)

    def test_bad_sends_from_its_address_and_the_listening_port(self):
        # A second address on the loopback interface (wine binds only to the
        # addresses that interfaces list).
        subprocess.run(["ip", "addr", "add", "127.0.0.9/32", "dev", "lo"], check=True)
        self.addCleanup(subprocess.run, ["ip", "addr", "del", "127.0.0.9/32", "dev", "lo"])
        fake = self.supplies(numbered(1))
        run = psulan(["/bad", "127.0.0.9", "/v", "/f"])
        self.assertIn(lines_of(b"Bind to Address: 127.0.0.9"), run.full)
        self.assertEqual(run.out.count(b"Sender started at: 127.0.0.9"), 2)
        self.assertIn(b"Received from: 127.0.1.1  Length: 108", run.out)
        # Wine binds an address of an interface in a way of its own: the
        # datagrams leave from the port, with 0.0.0.0 as their source address.
        source = "0.0.0.0" if ON_WINDOWS_BUILD else "127.0.0.9"
        self.assertEqual({d.source for d in fake.received()}, {(source, 7025)})

    def test_bca_and_ports(self):
        fake = self.supplies(numbered(3), query_port=7124, reply_port=7125)
        run = psulan(["/bca", "127.0.1.2", "/cport", "7124", "/sport", "7125", "/v", "/f"])
        self.assertIn(lines_of(b"Broadcast Address: 127.0.1.2"), run.full)
        self.assertIn(lines_of(b"Listener started at UDP port 7125"), run.out)
        self.assertEqual(run.out.count(b"\r\nSerial Number: "), 1)
        self.assertIn(b"Serial Number: SN0000000002\r\n", run.out)
        self.assertEqual({d.destination for d in fake.received()}, {"127.0.1.2"})
        self.assertEqual({d.source for d in fake.received()}, {("127.0.0.1", 7125)})

    def test_listener_that_cannot_bind(self):
        fake = self.supplies(numbered(1))
        holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.addCleanup(holder.close)
        holder.bind(("0.0.0.0", 7025))
        run = psulan(["/f"])
        self.assertEqual(run.code, 0)
        self.assertEqual(run.out, lines_of(b"!Bind failed with error code: 10048 : Address already in use", NOTHING))
        run = psulan(["/v", "/f"])
        self.assertTrue(run.out.endswith(lines_of(
            b"!Bind failed with error code: 10048 : Address already in use", NOTHING, b"Listener stopped")))
        self.assertNotIn(b"Sender", run.out)
        self.assertEqual(fake.received(), [])


if __name__ == "__main__":
    unittest.main()
