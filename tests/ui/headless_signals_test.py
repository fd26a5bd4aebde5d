#!/usr/bin/env python3
"""Signals and standard streams of the program, run for real.

Usage: headless_signals_test.py PATH_TO_ZRK_TQ

- With a window but no display: one line naming the display and --headless
  on standard error, exit 1, no bridge started.
- SIGTERM or SIGINT during start-up (while it waits for the bridge it tried
  to start, or in the second before its first connection): exit 0.
- SIGHUP once connected: signs off (ZRK_TQ_CONNECTED=0 last) and exit 0.
- Standard output a pipe whose reader took one line and went away
  (`zrk-tq --headless | head -1`), or a full pipe nobody reads: the program
  runs on, connects and obeys the quit order.

The cases with the bridge stand-in on 127.0.0.1:698 are skipped when that
port cannot be bound; exits 77 (skipped) when they were and nothing failed.
"""
import fcntl
import os
import selectors
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_bridge_test import (CONNECT_TIMEOUT, EXIT_TIMEOUT, PORT, RECORD_TIMEOUT,  # noqa: E402
                                  Failure, accept_from, quit_and_expect_exit_0, run_cases, stop,
                                  wait_exit)

# Every case ends well within this; a program that hangs fails.
RUN_TIMEOUT = 30.0


def log_text(folder):
    path = os.path.join(folder, "out.log")
    if not os.path.exists(path):
        return ""
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def start(exe, folder, args=("--headless",), stdout=None, env=None):
    out = open(os.path.join(folder, "out.log"), "wb")
    try:
        return subprocess.Popen([exe] + list(args), cwd=folder, stdin=subprocess.DEVNULL,
                                stdout=out if stdout is None else stdout,
                                stderr=out if stdout is None else subprocess.STDOUT, env=env)
    finally:
        out.close()


def read_until(stream, text, timeout):
    """Reads the program's output pipe until a line holds `text`."""
    deadline = time.monotonic() + timeout
    seen = b""
    with selectors.DefaultSelector() as sel:
        sel.register(stream, selectors.EVENT_READ)
        while text.encode() not in seen:
            left = deadline - time.monotonic()
            if left <= 0 or not sel.select(left):
                raise Failure("no %r within %.0f s; output so far:\n%s" % (text, timeout, seen.decode("latin-1")))
            data = os.read(stream.fileno(), 4096)
            if not data:
                raise Failure("output closed before %r:\n%s" % (text, seen.decode("latin-1")))
            seen += data


def no_display(exe, folder):
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
    # Unset, and set to a display nobody serves.
    for extra in ({}, {"DISPLAY": ":87"}):
        child = start(exe, folder, args=(), env=dict(env, **extra))
        rc = wait_exit(child, EXIT_TIMEOUT)
        lines = log_text(folder).splitlines()
        if rc != 1 or len(lines) != 1 or "display" not in lines[0] or "--headless" not in lines[0]:
            raise Failure("window mode with %s: exit %s, output %r; expected exit 1 and one line "
                          "naming the display and --headless" % (extra or "no display", rc, lines))


def stopped_during_startup(exe, folder):
    # At 0.5 s the program waits for the bridge it tried to start (there is
    # none beside it). Then the second before the first connection.
    for sig in (signal.SIGTERM, signal.SIGINT):
        child = start(exe, folder)
        try:
            time.sleep(0.5)
            sent = time.monotonic()
            child.send_signal(sig)
            rc = wait_exit(child, EXIT_TIMEOUT)
            print("%s at 0.5 s: exit %s after %.2f s" % (sig.name, rc, time.monotonic() - sent))
            if rc != 0:
                raise Failure("%s 0.5 s after launch: exit %s, expected 0\n%s" % (sig.name, rc, log_text(folder)))
        finally:
            stop(child)

    child = start(exe, folder, stdout=subprocess.PIPE)
    try:
        read_until(child.stdout, "Waiting for Devices to Connect...", RUN_TIMEOUT)
        sent = time.monotonic()
        child.send_signal(signal.SIGTERM)
        rc = wait_exit(child, EXIT_TIMEOUT)
        print("SIGTERM before the first connection: exit %s after %.2f s" % (rc, time.monotonic() - sent))
        if rc != 0:
            raise Failure("SIGTERM before the first connection: exit %s, expected 0" % rc)
    finally:
        child.stdout.close()
        stop(child)


def hangup_once_connected(listener, exe, folder):
    child = None
    peer = None
    try:
        child = start(exe, folder)
        peer = accept_from(listener, child, CONNECT_TIMEOUT)
        peer.wait_for("ZRK_TQ_CONNECTED=1", RECORD_TIMEOUT)
        child.send_signal(signal.SIGHUP)
        after = peer.records_until_closed(EXIT_TIMEOUT)
        if not after or after[-1] != "ZRK_TQ_CONNECTED=0":
            raise Failure("records after SIGHUP %s, expected ZRK_TQ_CONNECTED=0 last" % after)
        rc = wait_exit(child, EXIT_TIMEOUT)
        if rc != 0:
            raise Failure("exit status %s after SIGHUP, expected 0" % rc)
    finally:
        if peer is not None:
            peer.close()
        stop(child)


def full_pipe():
    """A pipe whose buffer is already full, as when its reader never reads."""
    r, w = os.pipe()
    fcntl.fcntl(w, fcntl.F_SETPIPE_SZ, 4096)
    fcntl.fcntl(w, fcntl.F_SETFL, fcntl.fcntl(w, fcntl.F_GETFL) | os.O_NONBLOCK)
    try:
        while True:
            os.write(w, b"x" * 512)
    except BlockingIOError:
        pass
    fcntl.fcntl(w, fcntl.F_SETFL, fcntl.fcntl(w, fcntl.F_GETFL) & ~os.O_NONBLOCK)
    return r, w


def runs_on_without_a_reader(listener, exe, folder):
    # `zrk-tq --headless | head -1`: one line read, then the reader is gone.
    # Then a pipe nobody reads.
    for case in ("reader gone after one line", "full pipe nobody reads"):
        child = None
        peer = None
        keep = None
        try:
            if case.startswith("reader gone"):
                child = start(exe, folder, stdout=subprocess.PIPE)
                line = child.stdout.readline()
                if not line:
                    raise Failure("%s: no first line" % case)
                child.stdout.close()
            else:
                keep, w = full_pipe()
                child = start(exe, folder, stdout=w)
                os.close(w)
            peer = accept_from(listener, child, CONNECT_TIMEOUT)
            peer.wait_for("ZRK_TQ_CONNECTED=1", RECORD_TIMEOUT)
            time.sleep(0.5)   # a few main cycles
            if child.poll() is not None:
                raise Failure("%s: program ended with %s after connecting" % (case, child.returncode))
            quit_and_expect_exit_0(peer, child, case + ": ")
        finally:
            if peer is not None:
                peer.close()
            stop(child)
            if keep is not None:
                os.close(keep)


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    # Cases without a bridge first; the bridge cases are skipped (exit 77)
    # when its port can't be had.
    rc = run_cases(sys.argv[1], "zrk-signals-",
                   [lambda _, exe, folder: no_display(exe, folder),
                    lambda _, exe, folder: stopped_during_startup(exe, folder)], (), needs_bridge=False)
    if rc != 0:
        return rc
    return run_cases(sys.argv[1], "zrk-signals-", [hangup_once_connected, runs_on_without_a_reader], ())


if __name__ == "__main__":
    sys.exit(main())
