"""Command line and program driver: help, error lines, exit codes, /dbg, the reports,
/ip host names, and the timer resolution held for the run on Windows."""
import os
import select
import socket
import subprocess
import tempfile
import time
import unittest

import psulan_run
from fake_instrument import FakeInstrument, Reply, Scpi
from psulan_run import EOL, ON_WINDOWS_BUILD, run

SYSTEM = b"Win64" if ON_WINDOWS_BUILD else b"Linux"
HELP_LINES = [
    b"Command line configurator for Rurev Izurovozeva PSU's by www.psulan.example v1.2.36 " + SYSTEM + b" x86_64",
    b" When no parameter is specified, program searches for PSU's on Local Network.",
    b' Commands are case insensitive. Use Slash (/) or Minus (-) as parameter switch.',
    b' Any number can be entered also as Hex with "x" or "0x" prefix, so xFF is 255 decimal.',
    b' /h, /?  - this text',
    b' /b      - Do not Bind to all local adresses.',
    b' /l      - Long, increase delay +5s for response from remote device, can be used more times (/ll adds 10s',
    b' /f      - Fast, wait 100 ms for response, default is 1 s',
    b' /r      - send controller Reset command, /MAC is mandatory',
    b' /mac    - specify MAC Address of PSU as next parameter',
    b'           use: /mac F4-e1-42-00-03-ab',
    b' /dhcp   - enable DHCP on PSU with specified MAC Address, /MAC is mandatory',
    b' /static - set static IP address on PSU with specified MAC Address',
    b'           paramters /IP and /MAC are mandatory',
    b' /ip     - specify IP Address as next parameter',
    b'           use: /mac F4-e1-42-00-03-ab /static /ip 192.168.2.2',
    b' /gw     - specify address of Default Gateway as next parameter',
    b'           If not spefified, it is calculated from /IP, x.x.x.1',
    b' /mask   - specify Network Mask as next parameter',
    b'           If not spefified, default is used 255.255.255.0',
    b' /bad    - specify IP Address to Bind, default is 0.0.0.0',
    b' /bca    - specify Broadcast IP Address, default is 255.255.255.255, for LAN you have to use like 192.168.1.255',
    b' /a      - ask for IDN and interfaces',
    b' /cmd    - send command to PSU, use: /IP 10.0.0.1 /cmd "sour:curr 3;outp 1", for " use \'\'',
    b' /hex    - send HEX data, use: /IP 10.0.0.1 /hex "0001 0000 0006 00 05 0065 FF00" or /hex 01FF00',
    b' /mod    - send ModbusTCP 6 byte command, /tport is set to 502, use: /IP 10.0.0.1 /mod 3 100 255',
    b' /mde    - Modbus device ID, default is 1, use: /mde 5 /mod 2 100 2',
    b' /o      - try to resolve used IP address to hostname',
    b' /d      - parse command in /cmd as separate commands and send with 100ms delay, space (; ;) is 500 ms',
    b' /t      - repeat command in /CMD until CTRL+Break',
    b' /ttime  - change delay between /t repeats in ms, default is 100 ms, use: /ip 10.10.1.5 /ttime 100 /t /cmd read?',
    b' /u      - UDP communication mode for /CMD & /CFL, use: /u /ip 192.168.152.1 /cmd initnet;*IDN?;disconnect',
    b'           /u /ip 192.168.172.1 /cmd "initnet;sour:volt 10;sour:curr 1;sour:outp on;sour on;disconnect"',
    b' /cfl    - send text file, empty line is pause, use: /IP 10.0.0.1 /cfl file.txt',
    b' /hfl    - send hex file, empty line is pause, use: /IP 10.0.0.1 /hfl file.txt',
    b' /waitl  - change delay after each line in /cfl, default is 5 ms, use: /ip 10.10.1.5 /waitl 100 /cfl file.txt',
    b' /waitp  - empty line pause in /cfl, default is 1000 ms, use: /ip 10.10.1.5 /waitp 5000 /cfl file.txt',
    b' /n      - while /CMD or CFL shows also outgoing commands',
    b' /s      - send command specified by /cmd to all found devices, use: /s /cmd syst:fro:hig',
    b' /xc     - convert Comma in incomming data to system EOL, useful for getting Digitize data from the Vanquish',
    b' /xsk    - convert Comma to Semicolon and Decimal Dot to Comma - for languages like Slovak',
    b' /xts    - add timestamp to incoming data, separated by Semicolon, format: ;yyyy-mm-dd;hh:nn:ss;zzz',
    b' /xtt    - add timestamp to incoming data, separated by TAB, format: [T]yyyy-mm-dd[T[hh:nn:ss[T]zzz',
    b' /xtc    - add timestamp to incoming data, separated by TAB, format: [T]yyyy-mm-dd hh:nn:ss.zzz',
    b' /xtk    - add timestamp to incoming data, separated by TAB, format: [T]yyyy.mm.dd[T]hh:nn:ss.zzz',
    b' /xtl    - add timestamp to incoming data, separated by TAB, format: [T]yyyy.mm.dd hh:nn:ss.zzz',
    b' /xti    - add timestamp to incoming data, separated by TAB, format: [T]hh:nn:ss.zzz',
    b' /xis    - translate Escaped special characters in /cmd (\\z \\b \\t \\n \\r \\e \\s)',
    b' /mb?    - convert HEX output as MODBUS data: Integer, Long, Float, Binary and String (/mbi, /mbb, ....)',
    b' /ports  - change all communication ports use: /ports 53001 /u /ip 192.168.1.21 /cmd *idn?',
    b' /tport  - change port for TCP communication (8462), use: /tport 9221 /ip 192.168.1.21 /cmd *idn?',
    b' /fluke  - change port for TCP communication to 3490, use: /fluke /ip 192.168.1.21 /cmd *idn?',
    b' /aimtti - change port for TCP communication to 9221, (Thurlby Thandar Instruments)',
    b' /sraw   - change port for TCP communication to 5025, (SCPI Raw Socket, Agilent/Keysight, Rohde & Schwarz, Siglent)',
    b' /stel   - change port for TCP communication to 5024, (SCPI Telnet)',
    b' /hislip - change port for TCP communication to 4880, (High-Speed LAN Instrument Protocol)',
    b' /tdkla  - change port for TCP communication to 8003, (TDK Lambda)',
    b' /sport  - change UDP server listening port (7025), use: /sport 9221',
    b' /cport  - change remote client UDP port (7024), use: /cport 9221',
    b' /cr     - change line terminator to CR (13, 0x0Dh, \\r\\n) - default is LF (10, 0x0Ah, \\n)',
    b' /crlf   - change line terminator to CRLF (1310, 0x0D0Ah, \\r\\n)',
    b' /terac  - do discovery of Teracom modules',
    b' /v /vv /dbg',
    # Switches added since, after the lines above.
    b' /json   - print results as JSON objects, one a line; all other lines go to standard error',
    b' /lxi    - find LXI instruments (VXI-11 portmapper and mDNS) on all local networks, with their IDN',
    b' /vxi11  - talk to the instrument over VXI-11 (port from its portmapper), use: /vxi11 /ip 192.168.1.30 /cmd *idn?',
    b' /dev    - device name for /hislip (hislip0) and /vxi11 (inst0), use: /vxi11 /dev gpib0,5 /ip 192.168.1.30 /cmd *idn?',
    b' /eol    - a TCP reply ends at its first line terminator instead of after 50 ms of silence',
]
HELP = b"".join(line + EOL for line in HELP_LINES)

PAUSE = b" Press [Enter] to continue..."
MAC = "F4-e1-42-00-03-ab"
MISSING_IP = b"Error: Missing IP Address. (use: /ip 192.168.2.2 /cmd meas:volt?;meas:curr?)"
MISSING_IP_STATIC = b"Error: Missing IP Address. (use: /mac F4-e1-42-00-03-ab /static /ip 192.168.2.2)"
MISSING_MAC_DHCP = b"Error: Missing MAC Address. (use: /mac F4-e1-42-00-03-ab /dhcp)"
MISSING_MAC = b"Error: Missing MAC Address. (use: /mac F4-e1-42-00-03-ab /r)"


def error(argument):
    return b"Error on command line: " + argument + EOL


class Help(unittest.TestCase):
    def test_help_is_byte_exact_with_code_1(self):
        self.assertEqual(len(HELP_LINES), 68)
        for args in (["/h"], ["/?"], ["-?"], ["?"], ["-HELP"], ["help"], ["/v", "/?", "/bogus"]):
            with self.subTest(args=args):
                result = run(args)
                self.assertEqual((result.code, result.out), (1, HELP))

    def test_question_mark_past_the_second_character_is_an_error(self):
        for argument in ("ab?", "/h?", "//?"):
            with self.subTest(argument=argument):
                result = run([argument])
                self.assertEqual((result.code, result.out), (2, error(argument.encode())))


class ErrorLines(unittest.TestCase):
    def check(self, args, out, code=2):
        result = run(args)
        self.assertEqual((result.code, result.out), (code, out))

    def test_rejected_arguments_and_values(self):
        cases = [
            (["//ip", "10.0.0.1"], error(b"//ip")),
            ([""], error(b"")),
            (["/"], error(b"/")),
            (["-"], error(b"-")),
            (["/bogus", "/h"], error(b"/bogus")),
            (["/tport", "0"], error(b"0")),
            (["/tport", "abc"], error(b"abc")),
            (["/sport", "0"], error(b"0")),
            (["/cport", "x"], error(b"x")),
            (["/ports", "0"], error(b"0")),
            (["/mde", "-1"], error(b"-1")),
            (["/mac", "F4-E1-42-00-03"], error(b"F4-E1-42-00-03")),
            (["/mac", "F4-E1-42-00-03-AB-CD"], error(b"F4-E1-42-00-03-AB-CD")),
            (["/mac"], error(b"")),
            (["/mod", "3", "100"], error(b"")),
            (["/mod", "3", "-1", "5"], error(b"-1")),
            (["/ip", "10.0.0.1", "/cmd", "x", "/nonsense"], error(b"/nonsense")),
        ]
        for args, out in cases:
            with self.subTest(args=args):
                self.check(args, out)

    def test_missing_addresses(self):
        cases = [
            (["/cmd", "*idn?"], MISSING_IP),
            (["/hex", "01"], MISSING_IP),
            (["/mod", "3", "100", "2"], MISSING_IP),
            (["/cfl", "file.txt"], MISSING_IP),
            (["/hfl", "file.txt"], MISSING_IP),
            (["/dhcp"], MISSING_MAC_DHCP),
            (["/static"], MISSING_IP_STATIC),
            (["/static", "/ip", "192.168.1.1"], MISSING_MAC),
            (["/r"], MISSING_MAC),
        ]
        for args, line in cases:
            with self.subTest(args=args):
                self.check(args, line + EOL)

    def test_configuration_runs_before_a_later_missing_address(self):
        # The DHCP command runs (and prints what it prints), then /static stops the run.
        result = run(["/dhcp", "/mac", MAC, "/static"])
        self.assertEqual(result.code, 2)
        self.assertEqual(result.lines()[-1], MISSING_IP_STATIC)

    def test_unresolvable_host_name(self):
        self.check(["/ip", "no-such-host.invalid"], b"Error: Unable to resolve Hostname to IP address." + EOL)

    def test_long_argument(self):
        # A Windows command line holds at most 32767 characters.
        huge = "A" * (30000 if ON_WINDOWS_BUILD else 100000)
        self.check([huge], error(huge.encode()))
        self.check(["/ip", "1.2.3.4", "/cmd", "x", "/" + huge], error(b"/" + huge.encode()))

    def test_high_bytes(self):
        if ON_WINDOWS_BUILD:
            self.skipTest("wine turns bytes that are not UTF-8 into '?' on the way to the ANSI code page")
        for argument in (b"\x80\xff", b"/\xe9p", b"\xc3\xa9"):
            with self.subTest(argument=argument):
                self.check([argument], error(argument))


class PauseBeforeExit(unittest.TestCase):
    def test_closed_input_returns_at_once_with_the_pause_line_last(self):
        cases = [
            (["/dbg", "/bogus"], 2, error(b"/bogus") + PAUSE + EOL),
            (["/dbg", "/h"], 1, HELP + PAUSE + EOL),
            (["/dbg", "/cmd", "x"], 2, MISSING_IP + EOL + PAUSE + EOL),
            (["/b", "/mac", MAC, "/dbg"], 0, PAUSE + EOL),
            (["/bogus", "/dbg"], 2, error(b"/bogus")),  # /dbg after the error is never read
        ]
        for args, code, out in cases:
            with self.subTest(args=args):
                result = run(args, stdin=b"", timeout=10)
                self.assertEqual((result.code, result.out), (code, out))
                self.assertLess(result.seconds, 5)

    def test_waits_for_a_line_on_open_input(self):
        process = subprocess.Popen(psulan_run.command(["/dbg", "/b", "/mac", MAC]), stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                   env=dict(os.environ, WINEDEBUG="-all"))
        try:
            # The prompt shows that the wait began; then the program stays in it.
            shown, deadline = b"", time.monotonic() + 30
            while len(shown) < len(PAUSE) and select.select([process.stdout], [], [],
                                                            max(0, deadline - time.monotonic()))[0]:
                piece = os.read(process.stdout.fileno(), 4096)
                if not piece:
                    break
                shown += piece
            time.sleep(0.3)
            self.assertIsNone(process.poll(), "ended without waiting for Enter")
            out, _ = process.communicate(b"\n", timeout=10)
            self.assertEqual((process.returncode, shown + out), (0, PAUSE + EOL))
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()

    def test_given_line_ends_the_wait(self):
        result = run(["/dbg", "/bogus"], stdin=b"\n", timeout=10)
        self.assertEqual((result.code, result.out), (2, error(b"/bogus") + PAUSE + EOL))


class SwitchPause(unittest.TestCase):
    def test_each_switch_adds_a_10_ms_pause(self):
        base = ["/b", "/mac", MAC]
        # The quickest of a few runs each: start-up time varies from run to run
        # (most under wine, by hundreds of ms on a loaded machine), and only
        # ever adds. A run cannot be quicker than its pauses: 152 switches,
        # 1.52 s. Against the shortest run, 150 more switches are 1.5 s more,
        # and not much beyond that.
        short = min(run(base).seconds for _ in range(3))
        longer = [run(["/v"] * 150 + base) for _ in range(2)]
        self.assertEqual([result.code for result in longer], [0, 0])
        quickest = min(result.seconds for result in longer)
        self.assertGreaterEqual(quickest, 152 * 0.010 - 0.002)
        self.assertLess(quickest - short, 3.0)


class Reports(unittest.TestCase):
    def test_settings_line_without_local_addresses(self):
        # No mode and no MAC address: PSU discovery follows the settings line.
        result = run(["/v", "/b"])
        self.assertEqual(result.code, 0)
        lines = result.lines()
        self.assertEqual(lines[0],
                         b" IP: 0.0.0.0   Mask: 0.0.0.0   Gateway: 0.0.0.0   MAC:    Ports: 7024 7025 8462")
        self.assertFalse([line for line in lines if line.startswith(b"Local Addresses: ")])

    def test_settings_line_with_completed_addresses_and_no_discovery(self):
        result = run(["/v", "/ip", "10.1.2.3", "/mac", MAC])
        self.assertEqual(result.code, 0)
        lines = result.lines()
        self.assertEqual(len(lines), 2, lines)
        self.assertTrue(lines[0].startswith(b"Local Addresses: ") and lines[0].endswith(b","), lines[0])
        self.assertEqual(lines[1], b" IP: 10.1.2.3   Mask: 255.255.255.0   Gateway: 10.1.2.1"
                                   b"   MAC: F4-E1-42-00-03-AB   Ports: 7024 7025 8462")

    def test_address_report_lines(self):
        cases = [
            (["/b", "/mac", MAC], []),
            (["/b", "/bad", "192.168.1.5", "/mac", MAC], [b"Bind to Address: 192.168.1.5"]),
            (["/b", "/bca", "255.255.255.255", "/mac", MAC], []),
            (["/b", "/bca", "192.168.1.255", "/bad", "127.0.0.1", "/mac", MAC],
             [b"Bind to Address: 127.0.0.1", b"Broadcast Address: 192.168.1.255"]),
            (["/b", "/v", "/gw", "10.0.0.5", "/ip", "10.0.0.5", "/mac", MAC, "/fluke"],
             [b" IP: 10.0.0.5   Mask: 255.255.255.0   Gateway: 10.0.1.2   MAC: F4-E1-42-00-03-AB"
              b"   Ports: 7024 7025 3490"]),
            (["/b", "/v", "/ip", "localhost", "/mac", MAC],
             [b" IP: 127.0.0.1   Mask: 255.255.255.0   Gateway: 127.0.0.254   MAC: F4-E1-42-00-03-AB"
              b"   Ports: 7024 7025 8462"]),
        ]
        for args, lines in cases:
            with self.subTest(args=args):
                result = run(args)
                self.assertEqual((result.code, result.lines()), (0, lines))

    def test_local_addresses_line_in_the_private_namespace(self):
        result = run(["/mac", MAC])
        self.assertEqual(result.code, 0)
        self.assertEqual(result.lines(), [b"Local Addresses: 127.0.0.1,"])


# The host table of the runs below: names with parts that read as numbers.
HOSTS = b"""127.0.0.1 localhost
127.0.0.2 psu.2.lab
127.0.0.3 x10.lab
127.0.0.4 10.lab
127.0.0.5 10.0.0.1.lab
"""


class HostNames(unittest.TestCase):
    def run_with_hosts(self, args):
        """Runs the program in a private mount namespace whose /etc/hosts is HOSTS."""
        directory = tempfile.TemporaryDirectory()
        self.addCleanup(directory.cleanup)
        hosts = os.path.join(directory.name, "hosts")
        with open(hosts, "wb") as file:
            file.write(HOSTS)
        wrapper = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                   'mount --bind "$0" /etc/hosts && exec "$@"', hosts]
        start = time.monotonic()
        done = subprocess.run(wrapper + psulan_run.command(args), stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=60, env=dict(os.environ, WINEDEBUG="-all"))
        return psulan_run.Run(done.returncode, done.stdout,
                              time.monotonic() - start)

    def test_names_with_numeric_parts_are_looked_up(self):
        def settings(ip, gateway):
            return [b" IP: " + ip + b"   Mask: 255.255.255.0   Gateway: " + gateway +
                    b"   MAC: F4-E1-42-00-03-AB   Ports: 7024 7025 8462"]
        cases = [
            ("psu.2.lab", 0, settings(b"127.0.0.2", b"127.0.0.1")),       # not 0.2.0.0
            ("x10.lab", 0, settings(b"127.0.0.3", b"127.0.0.1")),         # not 16.0.0.0
            ("10.lab", 0, settings(b"127.0.0.4", b"127.0.0.1")),          # not 10.0.0.0
            ("10.0.0.1.lab", 0, settings(b"127.0.0.5", b"127.0.0.1")),    # not 10.0.0.1
            ("localhost", 0, settings(b"127.0.0.1", b"127.0.0.254")),
            ("192.168.1", 0, settings(b"192.168.1.0", b"192.168.1.1")),   # numbers: an address
            ("psu.3.lab", 2, [b"Error: Unable to resolve Hostname to IP address."]),
        ]
        for name, code, lines in cases:
            with self.subTest(name=name):
                result = self.run_with_hosts(["/b", "/v", "/ip", name, "/mac", MAC])
                self.assertEqual((result.code, result.lines()), (code, lines))

    def test_command_goes_to_the_named_host(self):
        fake = FakeInstrument(Scpi({b"*IDN?": Reply.now(b"PSU two\n")}), host="127.0.0.2").start()
        self.addCleanup(fake.stop)
        result = self.run_with_hosts(["/ip", "psu.2.lab", "/tport", str(fake.port), "/cmd", "*IDN?"])
        self.assertEqual((result.code, result.out), (0, b"PSU two" + EOL))


@unittest.skipUnless(ON_WINDOWS_BUILD, "the timer resolution is a Windows setting")
class WindowsTimer(unittest.TestCase):
    def own_calls(self, args):
        """The exit code, and the winmm and ws2_32 calls that the program's main
        thread made, in order, from wine's relay trace."""
        done = subprocess.run(psulan_run.command(args), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, timeout=120, env=dict(os.environ, WINEDEBUG="+relay"))
        calls = [line.split(b" ret=")[0] for line in done.stderr.splitlines()
                 if b":Call winmm." in line or b":Call ws2_32." in line]
        begin = [line for line in calls if b":Call winmm.timeBeginPeriod(" in line]
        self.assertEqual(len(begin), 1, calls[:20])
        thread = begin[0].split(b":")[0] + b":Call "
        return done.returncode, [line[len(thread):] for line in calls if line.startswith(thread)]

    def test_one_ms_ticks_from_before_the_first_socket_call_to_after_the_last(self):
        probe = socket.socket()
        probe.bind(("127.0.0.1", 0))
        closed_port = str(probe.getsockname()[1])
        probe.close()
        for args, code in ((["/bogus"], 2), (["/ip", "127.0.0.1", "/tport", closed_port, "/cmd", "x"], 0)):
            with self.subTest(args=args):
                exit_code, calls = self.own_calls(args)
                self.assertEqual(exit_code, code)
                self.assertEqual([call for call in calls if call.startswith(b"winmm.")],
                                 [b"winmm.timeBeginPeriod(00000001)", b"winmm.timeEndPeriod(00000001)"])
                self.assertEqual((calls[0], calls[-1]),
                                 (b"winmm.timeBeginPeriod(00000001)", b"winmm.timeEndPeriod(00000001)"))
                self.assertIn(b"ws2_32.WSACleanup()", calls)


if __name__ == "__main__":
    unittest.main()
