#!/usr/bin/env python3
"""zrk-tq --boards against the project's fake board library: six boards
plugged in (three configured in CONFIG.INI, one of them of the wrong kind
for its role, and three not), each listed with its role or "unassigned",
the missing and the wrong-kind roles named, exit 0, CONFIG.INI untouched;
without the board library, one line and exit 1.

Usage: boards_command_test.py ZRK_TQ FAKE_LIBRARY"""
import os
import shutil
import subprocess
import sys
import tempfile

CONFIG = (b"[AIRCRAFT]\r\nTYPE=777\r\n[PHIDGETS_SERIAL_NUMBERS]\r\nINTERFACE1=11001\r\n"
          b"MOTOR2_THROTTLES_1_2=12002\r\nMOTOR_TRIM=12004\r\nSERVO1_CPT_TRIM=13001\r\n")
BOARDS = "kit:11001,motor:12002,kit:12004,motor:12009,advservo:13009,other:5000"


def run(folder, env):
    return subprocess.run([os.path.join(folder, "zrk-tq"), "--boards"], env=env, capture_output=True,
                          timeout=60, text=True)


def main():
    program, fake = sys.argv[1], sys.argv[2]
    failures = []

    def check(condition, what):
        if not condition:
            failures.append(what)

    env = dict(os.environ)
    env.pop("DISPLAY", None)   # it needs no display
    env["ZRK_FAKE_PHIDGET21_BOARDS"] = BOARDS
    with tempfile.TemporaryDirectory() as folder:
        shutil.copy(program, os.path.join(folder, "zrk-tq"))
        with open(os.path.join(folder, "CONFIG.INI"), "wb") as f:
            f.write(CONFIG)

        # No board library beside it (nor on this machine's path).
        r = run(folder, env)
        check(r.returncode == 1, "without the library: exit %d, not 1" % r.returncode)
        check(len(r.stderr.strip().splitlines()) == 1 and "board library" in r.stderr.lower(),
              "without the library: one line naming it, got %r" % r.stderr)
        check(r.stdout == "", "without the library: nothing on standard output, got %r" % r.stdout)

        shutil.copy(fake, os.path.join(folder, "libphidget21.so.0"))
        r = run(folder, env)
        out = r.stdout.splitlines()
        check(r.returncode == 0, "exit %d, not 0 (%s)" % (r.returncode, r.stderr))
        check(out and out[0] == "6 boards attached", "first line %r" % (out[:1],))

        def line_of(serial):
            hits = [l for l in out if l.startswith("#%d " % serial)]
            return hits[0] if len(hits) == 1 else None

        for serial, kind, role in [(11001, "interface kit", "Main interface card (888)"),
                                   (12002, "motor controller", "Throttle motors 1+2"),
                                   (12009, "motor controller", "unassigned"),
                                   (13009, "advanced servo board", "unassigned"),
                                   (5000, "other board", "unassigned"),
                                   (12004, "interface kit", "unassigned")]:
            line = line_of(serial)
            check(line is not None and kind in line and ("-> " + role) in line,
                  "board %d: %r" % (serial, line))
        check(any(l.startswith("wrong kind: Trim wheel motor") for l in out), "no wrong-kind line: %r" % out)
        check(any(l.startswith("missing: Captain's trim indicator") for l in out), "no missing line: %r" % out)
        with open(os.path.join(folder, "CONFIG.INI"), "rb") as f:
            check(f.read() == CONFIG, "CONFIG.INI changed")
        check(sorted(os.listdir(folder)) == ["CONFIG.INI", "libphidget21.so.0", "zrk-tq"],
              "files written: %r" % os.listdir(folder))

    for f in failures:
        print("FAIL:", f)
    print("boards_command_test: %s" % ("passed" if not failures else "%d failures" % len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
