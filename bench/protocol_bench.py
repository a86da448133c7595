#!/usr/bin/env python3
"""How long one query takes over each way of talking to an instrument that answers after 10 ms.

Usage: protocol_bench.py [PSULAN_BINARY] [RUNS]   (default: $PSULAN_BIN or build/psulan, 21 runs)
Run it inside a private network namespace (protocol_bench.sh does that): the simulated instruments listen on
127.0.0.1 at the protocols' own ports (portmapper 111, HiSLIP 4880, raw SCPI 5025).

For `/ip 127.0.0.1 /vxi11 /cmd *idn?`, the same with /hislip, and with `/sraw /eol`: the median wall time, and
what it adds beyond the answer time (10 ms) and the process start. The process start is the median run of
`psulan /?` (start, help, exit) plus the parser's prescribed 10 ms after each switch. Limit: 15 ms each.
The raw run without /eol (silence end and repeat delay) is shown for comparison.
"""
import os
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "fakes"))
from fake_hislip import FakeHislip  # noqa: E402
from fake_instrument import FakeInstrument, Reply, Scpi  # noqa: E402
from fake_lxi import FakeLxi, Instrument  # noqa: E402
from tcp_session_bench import spawn_time  # noqa: E402

ANSWER_S = 0.010
SWITCH_PAUSE_S = 0.010
LIMIT_MS = 15.0
IDN = b"ACME,BENCH,1,1.0\n"


def median_ms(args, runs):
    spawn_time(args)  # warm the page cache
    times = []
    for _ in range(runs):
        seconds, code = spawn_time(args)
        if code not in (0, 1):
            raise SystemExit("%s: exit code %d" % (" ".join(args), code))
        times.append(seconds * 1000)
    return statistics.median(times), max(times)


def switches(args):
    return sum(1 for a in args if a.startswith("/"))


def main():
    binary = sys.argv[1] if len(sys.argv) > 1 else os.environ.get("PSULAN_BIN",
                                                                   os.path.join(HERE, "..", "build", "psulan"))
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 21
    start_ms, _ = median_ms([binary, "/?"], runs)
    print("process start (psulan /?): median %.2f ms" % start_ms)
    instrument = Instrument("127.0.0.1", vxi11_port=1024, delay=ANSWER_S, replies={b"*IDN?": IDN})
    raw = FakeInstrument(Scpi({"*idn?": Reply.delayed(ANSWER_S, IDN)}), port=5025).start()
    good = True
    try:
        with FakeLxi([instrument]), FakeHislip({b"*IDN?": IDN}, port=4880, delay=ANSWER_S):
            for name, extra, limited in (("/vxi11", ["/vxi11"], True), ("/hislip", ["/hislip"], True),
                                         ("/sraw /eol", ["/sraw", "/eol"], True), ("/sraw", ["/sraw"], False)):
                args = [binary, "/ip", "127.0.0.1"] + extra + ["/cmd", "*idn?"]
                median, largest = median_ms(args, runs)
                floor = ANSWER_S * 1000 + start_ms + switches(args) * SWITCH_PAUSE_S * 1000
                beyond = median - floor
                verdict = ("limit %.0f ms: %s" % (LIMIT_MS, "ok" if beyond <= LIMIT_MS else "OVER")) if limited \
                    else "for comparison, no limit"
                print("%-11s median %6.1f ms (largest %6.1f) = answer %.0f + start %.1f + %d switches x 10 ms + %5.1f ms"
                      " (%s)" % (name, median, largest, ANSWER_S * 1000, start_ms, switches(args), beyond, verdict))
                good = good and (beyond <= LIMIT_MS or not limited)
    finally:
        raw.stop()
    print("PASS" if good else "FAIL")
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
