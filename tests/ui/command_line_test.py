#!/usr/bin/env python3
"""The program's command line, run for real.

Usage: command_line_test.py PATH_TO_ZRK_TQ

- An argument the program does not know ("/autostart", as a launcher made
  for another program passes it) is ignored: the program starts and its
  log, standard output when headless, names the argument.
- --version and --help print and exit with 0; an option with a bad value
  (--theme pink, --theme without one) prints the usage on standard error
  and exits with 2, without starting.
"""
import os
import signal
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from headless_bridge_test import EXIT_TIMEOUT, Failure, run_cases, stop, wait_exit  # noqa: E402
from headless_signals_test import RUN_TIMEOUT, read_until  # noqa: E402


def printed(exe, folder, args):
    """Runs the program to its end: exit status, standard output and error."""
    done = subprocess.run([exe] + list(args), cwd=folder, stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=EXIT_TIMEOUT)
    return done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1")


def unknown_argument_is_logged(exe, folder):
    child = subprocess.Popen([exe, "--headless", "/autostart"], cwd=folder, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    try:
        read_until(child.stdout, 'Ignoring unknown command-line argument "/autostart"', RUN_TIMEOUT)
        if child.poll() is not None:
            raise Failure("/autostart: the program ended with %s" % child.returncode)
        child.send_signal(signal.SIGTERM)
        rc = wait_exit(child, EXIT_TIMEOUT)
        if rc != 0:
            raise Failure("/autostart: exit %s after SIGTERM, expected 0" % rc)
    finally:
        child.stdout.close()
        stop(child)


def options_that_end_at_once(exe, folder):
    cases = [
        (["/autostart", "--version"], 0, "zrk-tq 2.07\n", None),
        (["--help"], 0, "Usage: zrk-tq ", None),
        (["--theme", "pink"], 2, None, "zrk-tq: --theme takes light or dark\n\nUsage: zrk-tq "),
        (["--headless", "--theme"], 2, None, "zrk-tq: --theme takes light or dark\n\nUsage: zrk-tq "),
    ]
    for args, code, out_start, err_start in cases:
        rc, out, err = printed(exe, folder, args)
        if rc != code:
            raise Failure("%s: exit %s, expected %s\n%s%s" % (args, rc, code, out, err))
        if out_start is not None and (not out.startswith(out_start) or err):
            raise Failure("%s: standard output %r, error %r" % (args, out, err))
        if err_start is not None and (not err.startswith(err_start) or out):
            raise Failure("%s: standard error %r, output %r" % (args, err, out))


def main():
    if len(sys.argv) != 2:
        print(__doc__)
        return 2
    return run_cases(sys.argv[1], "zrk-command-line-",
                     [lambda _, exe, folder: options_that_end_at_once(exe, folder),
                      lambda _, exe, folder: unknown_argument_is_logged(exe, folder)], (), needs_bridge=False)


if __name__ == "__main__":
    sys.exit(main())
