#!/usr/bin/env python3
"""The headless program against a bridge stand-in on 127.0.0.1:698.

Usage: headless_bridge_test.py PATH_TO_ZRK_TQ

Run 1: the program announces itself, writes CONFIG.INI beside itself and
logs its start; on SIGTERM it signs off before the connection closes and
exits with 0. Run 2: the bridge's quit order ends it with 0.

Exits 77 (skipped) when port 698 cannot be bound.
"""
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

RECORD_SIZE = 357
PORT = 698
SKIP = 77
# Before it connects the program waits 2 s for a bridge it tried to start,
# then 1 s more in its start-up; slow machines and sanitizer builds get room.
CONNECT_TIMEOUT = 30.0
RECORD_TIMEOUT = 10.0
EXIT_TIMEOUT = 15.0


class Failure(Exception):
    pass


def encode(message):
    name, _, value = message.partition("=")
    name = name.encode("latin-1")[:100]
    value = value.encode("latin-1")[:255]
    record = bytearray(RECORD_SIZE)
    record[0] = len(name)
    record[1:1 + len(name)] = name
    record[101] = len(value)
    record[102:102 + len(value)] = value
    return bytes(record)


def decode(record):
    n = min(record[0], 100)
    v = min(record[101], 255)
    name = record[1:1 + n].decode("latin-1")
    value = record[102:102 + v].decode("latin-1")
    return name + "=" + value


def socket_inodes(pid):
    inodes = set()
    fd_dir = "/proc/%d/fd" % pid
    for fd in os.listdir(fd_dir):
        try:
            target = os.readlink(os.path.join(fd_dir, fd))
        except OSError:
            continue
        if target.startswith("socket:["):
            inodes.add(target[8:-1])
    return inodes


def belongs_to(conn, pid):
    """Whether the client end of `conn` is a socket of process `pid`, so a
    stray program connecting to the port is not taken for ours. Without
    /proc the answer is yes."""
    client_port = conn.getpeername()[1]
    local = "0100007F:%04X" % client_port
    remote = "0100007F:%04X" % PORT
    try:
        with open("/proc/net/tcp") as f:
            lines = f.read().splitlines()[1:]
        ours = socket_inodes(pid)
    except OSError:
        return True
    for line in lines:
        fields = line.split()
        if len(fields) > 9 and fields[1] == local and fields[2] == remote:
            return fields[9] in ours
    return False


class Peer:
    """The accepted connection, read record by record."""

    def __init__(self, conn):
        self.conn = conn
        self.buffer = b""
        self.closed = False

    def next_record(self, timeout):
        """The next record as NAME=VALUE; None once the connection closed."""
        deadline = time.monotonic() + timeout
        while len(self.buffer) < RECORD_SIZE:
            if self.closed:
                if self.buffer:
                    raise Failure("connection closed inside a record (%d bytes)" % len(self.buffer))
                return None
            left = deadline - time.monotonic()
            if left <= 0:
                raise Failure("no record within %.0f s" % timeout)
            self.conn.settimeout(left)
            try:
                data = self.conn.recv(4096)
            except socket.timeout:
                continue
            except ConnectionResetError:
                # The program closes with a reset; what came before it counts.
                data = b""
            if not data:
                self.closed = True
            self.buffer += data
        record, self.buffer = self.buffer[:RECORD_SIZE], self.buffer[RECORD_SIZE:]
        return decode(record)

    def wait_for(self, message, timeout):
        deadline = time.monotonic() + timeout
        seen = []
        while True:
            record = self.next_record(max(0.0, deadline - time.monotonic()))
            if record is None:
                raise Failure("connection closed before %s; received %s" % (message, seen))
            seen.append(record)
            if record == message:
                return seen

    def records_until_closed(self, timeout):
        deadline = time.monotonic() + timeout
        seen = []
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                raise Failure("connection still open after %.0f s; received %s" % (timeout, seen))
            record = self.next_record(left)
            if record is None:
                return seen
            seen.append(record)

    def send(self, message):
        self.conn.sendall(encode(message))

    def close(self):
        self.conn.close()


def accept_from(listener, child, timeout):
    deadline = time.monotonic() + timeout
    while True:
        left = deadline - time.monotonic()
        if child.poll() is not None:
            raise Failure("program ended with %s before connecting" % child.returncode)
        if left <= 0:
            raise Failure("program did not connect within %.0f s" % timeout)
        listener.settimeout(min(left, 0.5))
        try:
            conn, _ = listener.accept()
        except socket.timeout:
            continue
        if belongs_to(conn, child.pid):
            return Peer(conn)
        conn.close()


def wait_exit(child, timeout):
    try:
        return child.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        raise Failure("program still running %.0f s after being told to end" % timeout)


def start(exe, folder, log_name):
    out = open(os.path.join(folder, log_name), "wb")
    try:
        return subprocess.Popen([exe, "--headless"], cwd=folder, stdin=subprocess.DEVNULL,
                                stdout=out, stderr=subprocess.STDOUT)
    finally:
        out.close()


def stop(child):
    if child is not None and child.poll() is None:
        child.kill()
        child.wait(timeout=10)


def run_terminated_by_signal(listener, exe, folder):
    child = None
    peer = None
    try:
        child = start(exe, folder, "run1.log")
        peer = accept_from(listener, child, CONNECT_TIMEOUT)
        first = peer.next_record(RECORD_TIMEOUT)
        if first != "ZRK_TQ_CONNECTED=1":
            raise Failure("first record %r, expected ZRK_TQ_CONNECTED=1" % first)

        child.send_signal(signal.SIGTERM)
        after = peer.records_until_closed(EXIT_TIMEOUT)
        if not after or after[-1] != "ZRK_TQ_CONNECTED=0":
            raise Failure("records after SIGTERM %s, expected ZRK_TQ_CONNECTED=0 last" % after)
        rc = wait_exit(child, EXIT_TIMEOUT)
        if rc != 0:
            raise Failure("exit status %s after SIGTERM, expected 0" % rc)
    finally:
        if peer is not None:
            peer.close()
        stop(child)

    if not os.path.isfile(os.path.join(folder, "CONFIG.INI")):
        raise Failure("CONFIG.INI was not written beside the program")
    with open(os.path.join(folder, "run1.log"), "rb") as f:
        log = f.read().decode("latin-1")
    for line in ("Version : 2.07", "Waiting for Devices to Connect..."):
        if line not in log:
            raise Failure("log lacks %r:\n%s" % (line, log))


def quit_and_expect_exit_0(peer, child, what=""):
    """Sends the bridge's quit order and checks that the program ends with 0."""
    peer.send("KILL_TQ_CONTROLLER=1")
    rc = wait_exit(child, EXIT_TIMEOUT)
    if rc != 0:
        raise Failure("%sexit status %s after the quit order, expected 0" % (what, rc))


def run_ended_by_quit_order(listener, exe, folder):
    child = None
    peer = None
    try:
        child = start(exe, folder, "run2.log")
        peer = accept_from(listener, child, CONNECT_TIMEOUT)
        peer.wait_for("ZRK_TQ_CONNECTED=1", RECORD_TIMEOUT)
        quit_and_expect_exit_0(peer, child)
    finally:
        if peer is not None:
            peer.close()
        stop(child)


def bridge_listener():
    """A listening socket on the bridge's port, or None when it can't be had."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        listener.bind(("127.0.0.1", PORT))
        listener.listen(4)
    except OSError as e:
        listener.close()
        print("skipped: cannot listen on 127.0.0.1:%d (%s)" % (PORT, e))
        return None
    return listener


def run_cases(exe_source, prefix, cases, logs, needs_bridge=True, last_lines=None):
    """Copies the program into a fresh folder (the program looks for the
    bridge in ../NET_BRIDGE: inside our own folder there is none) and runs
    each case(listener, exe, folder). Prints the logs named in `logs` when a
    case fails. Returns the process exit status of the test."""
    listener = bridge_listener() if needs_bridge else None
    if needs_bridge and listener is None:
        return SKIP
    root = tempfile.mkdtemp(prefix=prefix)
    try:
        folder = os.path.join(root, "zrk")
        os.mkdir(folder)
        exe = os.path.join(folder, "zrk-tq")
        shutil.copy2(exe_source, exe)
        for case in cases:
            case(listener, exe, folder)
    except Failure as e:
        print("FAILED: %s" % e)
        for name in logs:
            path = os.path.join(root, "zrk", name)
            if os.path.exists(path):
                with open(path, "rb") as f:
                    lines = f.read().decode("latin-1").splitlines()
                if last_lines:
                    lines = lines[-last_lines:]
                print("---- %s\n%s" % (name, "\n".join(lines)))
        return 1
    finally:
        if listener is not None:
            listener.close()
        shutil.rmtree(root, ignore_errors=True)
    print("passed")
    return 0


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    return run_cases(sys.argv[1], "zrk-headless-", [run_terminated_by_signal, run_ended_by_quit_order],
                     ("run1.log", "run2.log"))


if __name__ == "__main__":
    sys.exit(main())
