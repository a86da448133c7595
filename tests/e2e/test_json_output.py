"""/json: every line of standard output is one JSON object, whatever else the
run prints; its fields carry what the text form shows, each byte as the
character of the same number. One run per mode family: discovery with /a,
Teracom, a TCP query and a Modbus request, a command file, and failures."""
import json
import re
import unittest

import supply_support  # noqa: F401  (the private namespace discovery needs)
from file_support import CommandFileCase
from psulan_run import EOL
from supply_support import Supply, SupplyCase
from tcp_support import Modbus, Reply, Scpi, free_port, psulan, target
from teracom_support import PORT, Module, TeracomCase, reply_text, run_timed

ISO_TIME = re.compile(r"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}")


def objects(test, out):
    """Every output line as a JSON object (UTF-8, each with a "type")."""
    test.assertTrue(out.endswith(EOL), out)
    found = []
    for line in out[:-len(EOL)].split(EOL):
        value = json.loads(line.decode("utf-8"))
        test.assertIn("type", value, line)
        found.append(value)
    return found


def raw(text):
    """The bytes a string of the byte rule carries."""
    return text.encode("latin-1")


class Discovery(SupplyCase):
    def test_supplies_with_identity_then_the_summary(self):
        self.supplies([
            Supply("F4-E1-42-00-03-AB", "127.0.1.1", ip="192.168.1.21", serial=b"SN\xe90001", pud=b"bench 4\x01",
                   dhcp=True, idn=b"RI,PSU,SN\xe90001,1.0", interfaces=b"LAN\r\nUSB", delay=0.005),
            Supply("02-00-00-00-00-02", "127.0.1.2", ip="10.0.0.5", gateway="10.0.0.254", length=107,
                   idn=b"RI,PSU,2", delay=0.030),
        ])
        run = psulan(["/json", "/a", "/v", "/f"])
        self.assertEqual(run.code, 0)
        first, second, summary = objects(self, run.out)
        self.assertEqual(first, {
            "type": "supply", "serial": "SN\xe90001", "mac": "F4-E1-42-00-03-AB", "ip": "192.168.1.21",
            "dhcp": "DHCP", "mask": "255.255.255.0", "gateway": "192.168.1.1", "pud": "bench 4\x01",
            "from": "127.0.1.1", "idn": "RI,PSU,SN\xe90001,1.0", "interfaces": "LAN\r\nUSB"})
        self.assertEqual(raw(first["serial"]), b"SN\xe90001")
        self.assertEqual(second, {
            "type": "supply", "serial": "SN0000000001", "mac": "02-00-00-00-00-02", "ip": "10.0.0.5",
            "dhcp": "Static", "mask": "255.255.255.0", "gateway": "10.0.0.254", "pud": "PSU",
            "from": "127.0.1.2", "idn": "RI,PSU,2"})
        self.assertEqual(summary, {"type": "summary", "supplies": 2})


class Teracom(TeracomCase):
    def test_one_object_per_module_then_the_summary(self):
        self.serve([Module(reply_text(host=b"TCW 241", mac=b"00:04:A3:12:34:56", rest=b"10.0.0.9"))], port=PORT)
        run = run_timed(["/terac", "/json"])
        self.assertEqual(run.code, 0)
        self.assertEqual(objects(self, b"".join(line + EOL for line in run.texts())), [
            {"type": "teracom", "hostname": "TCW241", "serial": "00:04:A3:12:34:56", "address": "10.0.0.9",
             "from": "127.0.0.1"},
            {"type": "summary", "modules": 1}])


class Sessions(CommandFileCase):
    def test_text_query_with_time_and_verbose_lines_kept_off_standard_output(self):
        fake = self.serve(Scpi({"meas:volt?": Reply.now(b"5.00\xb0\x00V\r\n")}))
        run = psulan(["/json", "/v", "/xts"] + target(fake) + ["/cmd", "meas:volt?"])
        self.assertEqual(run.code, 0)
        [reply] = objects(self, run.out)
        self.assertRegex(reply.pop("time"), ISO_TIME)
        self.assertEqual(reply, {"type": "reply", "command": "meas:volt?", "reply": "5.00\xb0\x00V"})

    def test_modbus_values_in_the_chosen_view(self):
        fake = self.serve(Modbus(holding={100: 10, 101: 0xFFFF}))
        run = psulan(["/json", "/mbi"] + target(fake) + ["/mod", "3", "100", "2"])
        [reply] = objects(self, run.out)
        self.assertEqual((reply["values"], reply["hex"][-20:]), ([10, 65535], "01 03 04 00 0A FF FF"))
        self.assertEqual(raw(reply["reply"])[-4:], b"\x00\x0a\xff\xff")
        self.assertEqual(reply["commandHex"][-20:], "06 01 03 00 64 00 02")

    def test_command_file_one_object_per_reply_line(self):
        fake = self.serve(Scpi({"*IDN?": Reply.now(b"RI,PSU,1\n"), "MEAS:CURR?": Reply.now(b"0.5\n")}))
        path = self.command_file(b"*IDN?\nVOLT 1\n\nMEAS:CURR?\n")
        run = psulan(["/json", "/n", "/waitp", "10"] + target(fake) + ["/cfl", path])
        self.assertEqual(run.code, 0)
        self.assertEqual(objects(self, run.full), [
            {"type": "reply", "command": "*IDN?", "reply": "RI,PSU,1"},
            {"type": "reply", "command": "MEAS:CURR?", "reply": "0.5"}])

    def test_failures_are_error_objects_with_the_exit_codes_unchanged(self):
        port = str(free_port())
        refused = "!TCP connect failed with error code 10061 : Connection refused"
        cases = [
            (["/ip", "127.0.0.1", "/tport", port, "/cmd", "*idn?"], 0,
             [{"type": "error", "code": 10061, "text": refused},
              {"type": "reply", "command": "*idn?", "reply": None,
               "error": {"code": 10061, "text": "Connection refused"}}]),
            (["/ip", "127.0.0.1", "/cfl", "no-such-file.txt"], 4,
             [{"type": "error", "text": "!File not found: no-such-file.txt"}]),
            (["/bogus"], 2, [{"type": "error", "text": "Error on command line: /bogus"}]),
        ]
        for args, code, expected in cases:
            with self.subTest(args=args):
                run = psulan(["/JSON"] + args)
                self.assertEqual(run.code, code)
                self.assertEqual(objects(self, run.full), expected)


if __name__ == "__main__":
    unittest.main()
