"""/json: every line of standard output is one JSON object, whatever else the run prints, its fields what the text
shows, each byte as the character of the same number. One run per mode family."""
import json
import signal
import time
import unittest

import supply_support  # noqa: F401  (the private namespace discovery needs)
from file_support import CommandFileCase
import psulan_run
from psulan_run import EOL, ON_WINDOWS_BUILD
from supply_support import Supply, SupplyCase
from tcp_support import LineReader, Modbus, Reply, Scpi, free_port, psulan, stop, target
from teracom_support import PORT, Module, TeracomCase, reply_text, run_timed


def objects(test, out):
    test.assertTrue(out.endswith(EOL), out)
    return [json.loads(line.decode("utf-8")) for line in out[:-len(EOL)].split(EOL)]


class Discovery(SupplyCase):
    def test_supplies_with_identity_then_the_summary(self):
        self.supplies([
            Supply("F4-E1-42-00-03-AB", "127.0.1.1", ip="192.168.1.21", serial=b"SN\xe90001", pud=b"bench\x01",
                   dhcp=True, idn=b"RI,PSU,1", interfaces=b"LAN\r\nUSB"),
            Supply("02-00-00-00-00-02", "127.0.1.2", ip="10.0.0.5", gateway="10.0.0.254", length=107,
                   idn=b"RI,PSU,2", delay=0.030),
        ])
        run = psulan(["/json", "/a", "/v", "/f"])
        self.assertEqual((run.code, objects(self, run.full)), (0, [
            {"type": "supply", "serial": "SN\xe90001", "mac": "F4-E1-42-00-03-AB", "ip": "192.168.1.21", "dhcp": "DHCP",
             "mask": "255.255.255.0", "gateway": "192.168.1.1", "pud": "bench\x01", "from": "127.0.1.1",
             "idn": "RI,PSU,1", "interfaces": "LAN\r\nUSB"},
            {"type": "supply", "serial": "SN0000000001", "mac": "02-00-00-00-00-02", "ip": "10.0.0.5", "dhcp": "Static",
             "mask": "255.255.255.0", "gateway": "10.0.0.254", "pud": "PSU", "from": "127.0.1.2", "idn": "RI,PSU,2"},
            {"type": "summary", "supplies": 2},
            {"type": "end", "exit": 0, "supplies": 2, "errors": 0}]))


class Teracom(TeracomCase):
    def test_one_object_per_module_then_the_summary(self):
        self.serve([Module(reply_text(host=b"TCW 241", mac=b"00:04:A3:12:34:56", rest=b"10.0.0.9"))], port=PORT)
        run = run_timed(["/terac", "/json"])
        self.assertEqual((run.code, [json.loads(line) for line in run.texts()]), (0, [
            {"type": "teracom", "hostname": "TCW241", "serial": "00:04:A3:12:34:56", "address": "10.0.0.9",
             "from": "127.0.0.1"},
            {"type": "summary", "modules": 1},
            {"type": "end", "exit": 0, "modules": 1, "errors": 0}]))


class Sessions(CommandFileCase):
    def test_text_query_with_time_and_verbose_lines_kept_off_standard_output(self):
        fake = self.serve(Scpi({"meas:volt?": Reply.now(b"5.00\xb0\x00V\r\n")}))
        run = psulan(["/json", "/v", "/xts"] + target(fake) + ["/cmd", "meas:volt?"])
        reply, end = objects(self, run.full)
        self.assertRegex(reply.pop("time"), r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}$")
        self.assertEqual((run.code, reply, end), (0, {"type": "reply", "command": "meas:volt?", "reply": "5.00\xb0\x00V"},
                                                  {"type": "end", "exit": 0, "replies": 1, "errors": 0}))

    def test_modbus_reply_bytes_and_values(self):
        fake = self.serve(Modbus(holding={100: 10, 101: 0xFFFF}))
        reply, _ = objects(self, psulan(["/json", "/mbi"] + target(fake) + ["/mod", "3", "100", "2"]).out)
        self.assertEqual((reply["values"], reply["hex"][-20:], reply["reply"].encode("latin-1")[-7:]),
                         ([10, 65535], "01 03 04 00 0A FF FF", b"\x01\x03\x04\x00\x0a\xff\xff"))

    def test_command_file_one_object_per_reply_line(self):
        fake = self.serve(Scpi({"*IDN?": Reply.now(b"RI,PSU,1\n"), "MEAS:CURR?": Reply.now(b"0.5\n")}))
        path = self.command_file(b"*IDN?\nVOLT 1\n\nMEAS:CURR?\n")
        run = psulan(["/json", "/n", "/waitp", "10"] + target(fake) + ["/cfl", path])
        self.assertEqual((run.code, objects(self, run.full)), (0, [
            {"type": "reply", "command": "*IDN?", "reply": "RI,PSU,1"},
            {"type": "reply", "command": "MEAS:CURR?", "reply": "0.5"},
            {"type": "end", "exit": 0, "replies": 2, "errors": 0}]))

    def test_failures_are_one_object_each_and_every_run_ends_with_its_exit_code(self):
        refused = {"code": 10061, "text": "Connection refused"}
        cases = [
            # a failed exchange is its reply object alone
            (["/ip", "127.0.0.1", "/tport", str(free_port()), "/cmd", "*idn?"], 0,
             [{"type": "reply", "command": "*idn?", "reply": None, "error": refused},
              {"type": "end", "exit": 0, "replies": 1, "errors": 1}]),
            (["/ip", "127.0.0.1", "/cfl", "no-such-file.txt"], 4,
             [{"type": "error", "text": "!File not found: no-such-file.txt"},
              {"type": "end", "exit": 4, "replies": 0, "errors": 1}]),
            (["/ip", "host.invalid", "/cmd", "x"], 2,
             [{"type": "error", "text": "Error: Unable to resolve Hostname to IP address."},
              {"type": "end", "exit": 2, "errors": 1}]),
            # -json after the error holds all the same
            (["/bogus", "-Json"], 2, [{"type": "error", "text": "Error on command line: /bogus"},
                                      {"type": "end", "exit": 2, "errors": 1}]),
            # the UDP mode with nothing answering
            (["/u", "/ip", "127.0.0.1", "/cport", str(free_port()), "/sport", str(free_port()), "/cmd", "x"], 0,
             [{"type": "end", "exit": 0, "replies": 0, "datagrams": 0, "errors": 0}]),
        ]
        for args, code, expected in cases:
            with self.subTest(args=args):
                run = psulan(args if "-Json" in args else ["/JSON"] + args)
                self.assertEqual((run.code, objects(self, run.full)), (code, expected))

    def test_ctrl_c_ends_a_repetition_between_whole_lines_with_the_closing_object(self):
        fake = self.serve(Scpi({"V?": Reply.now(b"12.5\n")}))
        process = psulan_run.start(["/json", "/t", "/ttime", "50"] + target(fake) + ["/cmd", "V?"])
        self.addCleanup(process.stdout.close)
        reader = LineReader(process)
        reader.lines(3, timeout=20)
        asked = time.monotonic()
        status = stop(process, signal.SIGINT)
        seconds = time.monotonic() - asked
        *replies, end = objects(self, reader.rest(timeout=5))
        self.assertEqual({json.dumps(reply) for reply in replies},
                         {json.dumps({"type": "reply", "command": "V?", "reply": "12.5"})})
        code = 0xC000013A if ON_WINDOWS_BUILD else 130
        self.assertEqual(end, {"type": "end", "exit": code if code < 2**31 else code - 2**32,
                               "replies": len(replies), "errors": 0})
        if not ON_WINDOWS_BUILD:
            self.assertEqual(status, -signal.SIGINT)
        self.assertLess(seconds, 1.5)

if __name__ == "__main__":
    unittest.main()
