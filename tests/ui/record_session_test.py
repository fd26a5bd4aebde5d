#!/usr/bin/env python3
"""zrk-tq --headless --record FILE on the fake board library (an interface
kit and a motor board plugged in), against a bridge stand-in on
127.0.0.1:698 that receives the program's records and ends it with the
quit order. While it runs, a throttle lever moves and the left fuel
control switch flips, through the fake library's command file.

Then zrk-tq-scenario --replay FILE --check must replay the recording
without a difference; the recording must hold those moves and the quit
order, and no path of the folder it ran in. A second run whose file can
grow only so far (a file size limit, as a full disk) stops recording with a
log line, runs on to the quit order, and leaves a file that still replays.
A file that cannot be created: one line on standard error, exit 1, and
nothing started or written.

Usage: record_session_test.py ZRK_TQ FAKE_LIBRARY ZRK_TQ_SCENARIO

Exits 77 (skipped) when port 698 cannot be bound.
"""
import os
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_bridge_test import (CONNECT_TIMEOUT, EXIT_TIMEOUT, RECORD_TIMEOUT, SKIP, Failure,  # noqa: E402
                                  accept_from, bridge_listener, stop, wait_exit)

KIT, MOTORS = 11001, 12002
CONFIG = (b"[AIRCRAFT]\r\nTYPE=777\r\n[PHIDGETS_SERIAL_NUMBERS]\r\nINTERFACE1=%d\r\n"
          b"MOTOR2_THROTTLES_1_2=%d\r\n" % (KIT, MOTORS))
# Throttle 1 on the main card's input 0; its switch 0 the left fuel control.
MOVES = ["sensor %d 0 300" % KIT, "input %d 0 1" % KIT, "sensor %d 0 640" % KIT, "input %d 0 0" % KIT]
FUEL = "ENGINE_L_FUEL_CONTROL_SWITCH"


class Program:
    """zrk-tq started headless in `folder`; its standard output read into
    lines by a thread (a pipe: no file of the test is under the program's
    file size limit)."""

    def __init__(self, exe, folder, args, env, file_limit=None):
        def limits():
            # A write past the limit then fails (EFBIG) instead of killing.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (file_limit, file_limit))

        self.child = subprocess.Popen([exe, "--headless"] + args, cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                      stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                      preexec_fn=limits if file_limit else None)
        self.lines = []
        self.lock = threading.Lock()
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.child.stdout:
            with self.lock:
                self.lines.append(raw.decode("latin-1").rstrip("\r\n"))

    def wait_for_line(self, text, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            with self.lock:
                if any(text in line for line in self.lines):
                    return
            if self.child.poll() is not None:
                break
            time.sleep(0.05)
        raise Failure("no log line with %r within %.0f s:\n%s" % (text, timeout, self.log()))

    def log(self):
        with self.lock:
            return "\n".join(self.lines)


def wait_for_prefix(peer, prefix, timeout):
    deadline = time.monotonic() + timeout
    while True:
        record = peer.next_record(max(0.0, deadline - time.monotonic()))
        if record is None:
            raise Failure("connection closed before a record %s" % prefix)
        if record.startswith(prefix):
            return record


def segment_ends(data):
    """Where each segment of a recording ends: a 10-byte header, then
    segments of "SEGM", a 32-bit length, a CRC and the entries."""
    ends, at = [], 10
    while at + 12 <= len(data) and data[at:at + 4] == b"SEGM":
        at += 12 + int.from_bytes(data[at + 4:at + 8], "little")
        ends.append(at)
    return ends


def session(listener, exe, folder, env, recording, file_limit=None, hold=0.0):
    """One recorded session: connect, move the lever and flip the switch,
    let `hold` seconds pass, quit. Returns the program's log."""
    commands = os.path.join(folder, "commands.txt")
    open(commands, "wb").close()
    env = dict(env, ZRK_FAKE_PHIDGET21_COMMANDS=commands)
    program = Program(exe, folder, ["--record", recording], env, file_limit)
    peer = None
    try:
        peer = accept_from(listener, program.child, CONNECT_TIMEOUT)
        peer.wait_for("ZRK_TQ_CONNECTED=1", RECORD_TIMEOUT)
        program.wait_for_line("Recording the session into %s" % recording, RECORD_TIMEOUT)
        # The kit attached (its inputs set up) before it is moved.
        program.wait_for_line(str(KIT), RECORD_TIMEOUT)
        time.sleep(0.5)
        seen = []
        for move in MOVES:
            with open(commands, "a") as f:
                f.write(move + "\n")
            if move.startswith("input"):
                seen.append(wait_for_prefix(peer, FUEL, RECORD_TIMEOUT))
            else:
                time.sleep(0.3)
        if sorted(seen) != [FUEL + "=0", FUEL + "=1"]:
            raise Failure("the switch was reported as %s" % seen)
        time.sleep(hold)
        peer.send("KILL_TQ_CONTROLLER=1")
        rc = wait_exit(program.child, EXIT_TIMEOUT)
        program.reader.join(5)
        if rc != 0:
            raise Failure("exit status %s after the quit order, expected 0:\n%s" % (rc, program.log()))
        return program.log()
    finally:
        if peer is not None:
            peer.close()
        stop(program.child)


def replay(scenario_runner, path, *args):
    return subprocess.run([scenario_runner, "--replay", path] + list(args), capture_output=True, timeout=120,
                          text=True, errors="replace")


def check_replays(scenario_runner, path, what):
    r = replay(scenario_runner, path, "--check")
    if r.returncode != 0 or "differs" in r.stderr or "made all" not in r.stderr:
        raise Failure("%s: replay --check exit %d: %s" % (what, r.returncode, r.stderr.strip()))
    outputs = int(r.stderr.split("made all ")[1].split()[0])
    return outputs


def run_recorded(listener, exe, folder, env, scenario_runner):
    path = os.path.join(folder, "fault.zrkrec")
    session(listener, exe, folder, env, "fault.zrkrec", hold=3.0)
    with open(path, "rb") as f:
        data = f.read()
    # What the file must not hold: the folder it ran in, the bridge's host.
    for private in (folder, os.path.dirname(folder), "127.0.0.1"):
        if private.encode() in data:
            raise Failure("the recording holds %r" % private)
    outputs = check_replays(scenario_runner, path, "fault.zrkrec")
    # At least the kit's set-up (opened, ratiometric, eight triggers) and
    # the switch's two messages.
    if outputs < 12:
        raise Failure("the replay compared only %d outputs" % outputs)
    # The moves and the quit order are in it, as a scenario shows them.
    r = replay(scenario_runner, path, "--to-scenario", "-")
    if r.returncode != 0:
        raise Failure("--to-scenario exit %d: %s" % (r.returncode, r.stderr.strip()))
    for line in MOVES + ["bridge KILL_TQ_CONTROLLER=1"]:
        if not any(l.split(None, 1)[-1] == line for l in r.stdout.splitlines()):
            raise Failure("the recording's scenario lacks %r:\n%s" % (line, r.stdout))
    ends = segment_ends(data)
    if len(ends) < 2 or ends[-1] != len(data):
        raise Failure("the recording is not whole segments: %s of %d bytes" % (ends, len(data)))
    return ends


def run_file_full(listener, exe, folder, env, scenario_runner, ends):
    """The file may grow as far as two segments of the first session went;
    this one lasts longer: a later segment is written only in part, cut off
    again, and the recording stops while the controller goes on."""
    limit = ends[1]
    log = session(listener, exe, folder, env, "full.zrkrec", file_limit=limit, hold=10.0)
    stopped = [l for l in log.splitlines() if "Recording stopped:" in l]
    if len(stopped) != 1 or "full.zrkrec" not in stopped[0]:
        raise Failure("no single stop line naming the file:\n%s" % log)
    path = os.path.join(folder, "full.zrkrec")
    size = os.path.getsize(path)
    with open(path, "rb") as f:
        data = f.read()
    if not 0 < size <= limit or segment_ends(data)[-1:] != [size]:
        raise Failure("full.zrkrec has %d bytes, limit %d, segments ending at %s" % (size, limit, segment_ends(data)))
    check_replays(scenario_runner, path, "full.zrkrec")


def run_unwritable(exe, folder, env):
    before = sorted(os.listdir(folder))
    r = subprocess.run([exe, "--headless", "--record", "no-such-folder/fault.zrkrec"], cwd=folder, env=env,
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=30, text=True)
    lines = r.stderr.strip().splitlines()
    if r.returncode != 1 or len(lines) != 1 or "no-such-folder/fault.zrkrec" not in lines[0]:
        raise Failure("unwritable file: exit %d, standard error %r" % (r.returncode, r.stderr))
    if r.stdout:
        raise Failure("unwritable file: the program started: %r" % r.stdout)
    if sorted(os.listdir(folder)) != before:
        raise Failure("unwritable file: files changed: %r" % os.listdir(folder))


def main():
    if len(sys.argv) != 4:
        print(__doc__)
        return 2
    program, fake, scenario_runner = sys.argv[1:]
    listener = bridge_listener()
    if listener is None:
        return SKIP
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env["ZRK_FAKE_PHIDGET21_BOARDS"] = "kit:%d,motor:%d" % (KIT, MOTORS)
    root = tempfile.mkdtemp(prefix="zrk-record-")
    try:
        # The program looks for the bridge in ../NET_BRIDGE: there is none.
        folder = os.path.join(root, "zrk")
        os.mkdir(folder)
        exe = os.path.join(folder, "zrk-tq")
        shutil.copy2(program, exe)
        shutil.copy(fake, os.path.join(folder, "libphidget21.so.0"))
        with open(os.path.join(folder, "CONFIG.INI"), "wb") as f:
            f.write(CONFIG)
        run_unwritable(exe, folder, env)
        ends = run_recorded(listener, exe, folder, env, scenario_runner)
        run_file_full(listener, exe, folder, env, scenario_runner, ends)
    except Failure as e:
        print("FAILED: %s" % e)
        return 1
    finally:
        listener.close()
        shutil.rmtree(root, ignore_errors=True)
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
