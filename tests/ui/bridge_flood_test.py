#!/usr/bin/env python3
"""The headless program against a bridge stand-in on 127.0.0.1:698 that sends
more than one event's worth of data, or far more than the program can read.

Usage: bridge_flood_test.py PATH_TO_ZRK_TQ [FLOOD_SECONDS]

Run 1 (burst): one write of 100 records, the last the quit order, and
nothing after it: the program ends with 0 at once.
Run 2 (flood): random bytes at full rate for FLOOD_SECONDS (30): the
program's resident memory stays under 50 MB throughout, it keeps reading and
its timers keep running; then the bridge drops the connection, the program
reconnects, and the quit order ends it with 0.

Prints the memory figures. Exits 77 (skipped) when port 698 cannot be bound.
"""
import os
import random
import socket
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_bridge_test import (CONNECT_TIMEOUT, EXIT_TIMEOUT, PORT, RECORD_SIZE,  # noqa: E402
                                  RECORD_TIMEOUT, Failure, accept_from, decode, encode,
                                  quit_and_expect_exit_0, run_cases, start, stop, wait_exit)

FLOOD_SECONDS = 30.0
MEMORY_LIMIT_KB = 50 * 1024
# The program reads hundreds of MB in that time; this only shows that it
# never stopped reading, even on a loaded machine.
MIN_FLOOD_BYTES = 4 * 1024 * 1024
# "At once": milliseconds are needed; the rest is room for a loaded machine.
BURST_EXIT_TIMEOUT = 5.0
SAMPLE_INTERVAL = 0.1


def memory_kb(pid):
    """VmRSS and VmHWM (peak) of `pid` in kB."""
    rss = hwm = None
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                rss = int(line.split()[1])
            elif line.startswith("VmHWM:"):
                hwm = int(line.split()[1])
    if rss is None or hwm is None:
        raise Failure("no memory figures in /proc/%d/status" % pid)
    return rss, hwm


def run_burst(listener, exe, folder):
    child = None
    peer = None
    try:
        child = start(exe, folder, "burst.log")
        peer = accept_from(listener, child, CONNECT_TIMEOUT)
        peer.wait_for("ZRK_TQ_CONNECTED=1", RECORD_TIMEOUT)
        burst = b"".join(encode("SOME_VALUE=%d" % i) for i in range(1, 100))
        peer.conn.sendall(burst + encode("KILL_TQ_CONTROLLER=1"))
        sent = time.monotonic()
        try:
            rc = wait_exit(child, BURST_EXIT_TIMEOUT)
        except Failure:
            raise Failure("still running %.0f s after a burst of 100 records ending in the quit order"
                          % BURST_EXIT_TIMEOUT)
        if rc != 0:
            raise Failure("exit status %s after the burst, expected 0" % rc)
        print("burst: ended %.3f s after the quit order was sent" % (time.monotonic() - sent))
    finally:
        if peer is not None:
            peer.close()
        stop(child)


def records_waiting(peer):
    """The records the program has sent and we have not read yet."""
    peer.conn.settimeout(0.5)
    while True:
        try:
            data = peer.conn.recv(65536)
        except socket.timeout:
            break
        if not data:
            break
        peer.buffer += data
    out = []
    while len(peer.buffer) >= RECORD_SIZE:
        out.append(decode(peer.buffer[:RECORD_SIZE]))
        peer.buffer = peer.buffer[RECORD_SIZE:]
    return out


class Flood(threading.Thread):
    """Sends random bytes on `conn` as fast as the program takes them."""

    def __init__(self, conn):
        super().__init__(daemon=True)
        self.conn = conn
        self.sent = 0
        self.error = None
        self.done = threading.Event()
        rng = random.Random(0x5EED)
        self.pool = rng.randbytes(1 << 18)
        self.rng = rng

    def run(self):
        self.conn.settimeout(0.2)
        view = memoryview(self.pool)
        while not self.done.is_set():
            start = self.rng.randrange(0, len(self.pool) // 2)
            chunk = view[start:start + 65536]
            try:
                self.sent += self.conn.send(chunk)
            except socket.timeout:
                continue
            except OSError as e:
                self.error = e
                return


def run_flood(listener, exe, folder, seconds):
    child = None
    peer = None
    flood = None
    try:
        child = start(exe, folder, "flood.log")
        peer = accept_from(listener, child, CONNECT_TIMEOUT)
        peer.wait_for("ZRK_TQ_CONNECTED=1", RECORD_TIMEOUT)
        before, _ = memory_kb(child.pid)

        flood = Flood(peer.conn)
        flood.start()
        began = time.monotonic()
        peak = before
        while time.monotonic() - began < seconds:
            if child.poll() is not None:
                raise Failure("program ended with %s during the flood" % child.returncode)
            if flood.error is not None:
                raise Failure("the program's side failed during the flood: %s" % flood.error)
            rss, hwm = memory_kb(child.pid)
            peak = max(peak, rss, hwm)
            if peak > MEMORY_LIMIT_KB:
                raise Failure("resident memory %d kB after %.1f s of flood (before: %d kB, limit %d kB)"
                              % (peak, time.monotonic() - began, before, MEMORY_LIMIT_KB))
            time.sleep(SAMPLE_INTERVAL)
        flood.done.set()
        flood.join(5)
        # With no note of the controller in the bridge's data, the watchdog
        # greets again every 2 s: its timer kept running through the flood.
        greetings = [r for r in records_waiting(peer) if r == "ZRK_TQ_CONNECTED=1"]
        rss, hwm = memory_kb(child.pid)
        peak = max(peak, rss, hwm)
        elapsed = time.monotonic() - began
        print("flood: %.1f MB in %.1f s (%.1f MB/s); resident memory before %.1f MB, peak %.1f MB,"
              " after %.1f MB (limit %.0f MB)"
              % (flood.sent / 1e6, elapsed, flood.sent / 1e6 / elapsed, before / 1024.0,
                 peak / 1024.0, rss / 1024.0, MEMORY_LIMIT_KB / 1024.0))
        if peak > MEMORY_LIMIT_KB:
            raise Failure("peak resident memory %d kB, limit %d kB" % (peak, MEMORY_LIMIT_KB))
        if flood.sent < MIN_FLOOD_BYTES:
            raise Failure("the program took only %d bytes in %.0f s" % (flood.sent, elapsed))
        print("flood: %d repeated greetings from the watchdog meanwhile" % len(greetings))
        if len(greetings) < seconds / 2.0 / 3.0:
            raise Failure("only %d repeated greetings in %.0f s of flood: the program's timers stalled"
                          % (len(greetings), elapsed))

        # The bridge goes away and comes back; the program reconnects on its
        # own and obeys the quit order on the new connection.
        peer.close()
        peer = accept_from(listener, child, CONNECT_TIMEOUT)
        peer.wait_for("ZRK_TQ_CONNECTED=1", RECORD_TIMEOUT)
        quit_and_expect_exit_0(peer, child)
    finally:
        if flood is not None:
            flood.done.set()
        if peer is not None:
            peer.close()
        stop(child)


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__)
        return 2
    seconds = float(sys.argv[2]) if len(sys.argv) == 3 else FLOOD_SECONDS
    return run_cases(sys.argv[1], "zrk-flood-",
                     [run_burst, lambda listener, exe, folder: run_flood(listener, exe, folder, seconds)],
                     ("burst.log", "flood.log"), last_lines=40)


if __name__ == "__main__":
    sys.exit(main())
