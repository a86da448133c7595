"""A simulated HiSLIP instrument (standard library only, independent of the program's code).

Both channels on one TCP port, any number of sessions at once. Each message is a 16-byte header ("HS", type,
control, 32-bit parameter, 64-bit payload length, big-endian) and its payload. Initialize (0) gets
InitializeResponse (1) with a new session id, AsyncInitialize (17) with that id gets AsyncInitializeResponse (18).
A message made of Data (6) messages and a DataEnd (7) is one command; a command holding "?" gets `replies[command]`
(or `default`) back `delay` s later, as `pieces` Data/DataEnd messages with the command's message id.
Misbehaviour: `fatal=(code, text)` answers the first command with FatalError and closes; `stale=True` sends a
reply with an earlier message id before the right one; `silent=True` answers no query; `init_fatal=(code, text)`
answers Initialize so. Anything not starting with "HS" gets FatalError 1 and the connection closes.

Records `sessions` (sub-address per session id, async channel seen), `commands` (session id, message id, control
byte, payload) and `connections` (count).

Standalone:  python3 fake_hislip.py [--port N] [CMD=REPLY ...]
"""
import argparse
import socket
import struct
import sys
import threading
import time

HEADER = struct.Struct(">2sBBIQ")


def message(kind, control=0, parameter=0, payload=b""):
    return HEADER.pack(b"HS", kind, control, parameter, len(payload)) + payload


class FakeHislip:
    def __init__(self, replies=None, default=b"", address="127.0.0.1", port=0, delay=0.0, pieces=1,
                 fatal=None, stale=False, silent=False, init_fatal=None):
        self.replies = {k.upper(): v for k, v in (replies or {}).items()}
        self.default, self.delay, self.pieces = default, delay, pieces
        self.fatal, self.stale, self.silent, self.init_fatal = fatal, stale, silent, init_fatal
        self.sessions, self.commands, self.connections, self.lock = {}, [], 0, threading.Lock()
        self.server = socket.socket()
        self.server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.server.bind((address, port))
        self.server.listen(16)
        self.port = self.server.getsockname()[1]
        self.running = True

    def __enter__(self):
        threading.Thread(target=self.accept, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self.running = False
        self.server.close()

    def accept(self):
        while self.running:
            try:
                conn = self.server.accept()[0]
            except OSError:
                return
            with self.lock:
                self.connections += 1
            threading.Thread(target=self.converse, args=(conn,), daemon=True).start()

    @staticmethod
    def read(reader, size):
        data = reader.read(size)
        if len(data) < size:
            raise EOFError
        return data

    def converse(self, conn):
        reader, session, pending = conn.makefile("rb"), None, b""
        try:
            with conn, reader:
                while True:
                    prologue, kind, control, parameter, length = HEADER.unpack(self.read(reader, 16))
                    if prologue != b"HS":
                        conn.sendall(message(2, 1, 0, b"Poorly formed message header"))
                        return
                    payload = self.read(reader, length) if length else b""
                    if kind == 0:
                        if self.init_fatal:
                            conn.sendall(message(2, self.init_fatal[0], 0, self.init_fatal[1]))
                            return
                        with self.lock:
                            session = len(self.sessions) + 1
                            self.sessions[session] = {"sub_address": payload, "async": False}
                        conn.sendall(message(1, 0, 0x0100 << 16 | session))
                    elif kind == 17:
                        with self.lock:
                            self.sessions[parameter & 0xFFFF]["async"] = True
                        conn.sendall(message(18, 0, ord("F") << 8 | ord("K")))
                    elif kind in (6, 7):
                        pending += payload
                        if kind == 7:
                            self.command(conn, session, parameter, control, pending)
                            pending = b""
        except (EOFError, OSError):
            pass

    def command(self, conn, session, message_id, control, command):
        with self.lock:
            self.commands.append((session, message_id, control, command))
        if self.fatal:
            conn.sendall(message(2, self.fatal[0], 0, self.fatal[1]))
            raise EOFError
        if b"?" not in command or self.silent:
            return
        reply = self.replies.get(command.upper(), self.default)
        time.sleep(self.delay)
        if self.stale:
            conn.sendall(message(7, 0, (message_id - 2) & 0xFFFFFFFF, b"stale\n"))
        size = -(-len(reply) // self.pieces) if reply else 0
        parts = [reply[i * size:(i + 1) * size] for i in range(self.pieces)] if size else [b""] * self.pieces
        conn.sendall(b"".join(message(6 if i < len(parts) - 1 else 7, 0, message_id, p) for i, p in enumerate(parts)))


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=4880)
    parser.add_argument("--delay", type=float, default=0.0)
    parser.add_argument("pairs", nargs="*")
    options = parser.parse_args()
    pairs = dict(p.encode().split(b"=", 1) for p in options.pairs)
    with FakeHislip(pairs, address=options.address, port=options.port, delay=options.delay):
        print("ready", flush=True)
        threading.Event().wait()
    sys.exit(0)
