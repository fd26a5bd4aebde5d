#!/usr/bin/env bash
# Tells whether this host runs 32-bit x86 programs, by running one: a tiny
# static i386 program that exits with 42. Some kernels are built without
# 32-bit support, and there every 32-bit program (32-bit wine among them)
# fails to start with "Exec format error".
#
# Prints one word on the first line, and the reason on the second:
#   native     the kernel runs 32-bit code itself
#   emulated   32-bit code runs, but through an emulator registered with
#              binfmt_misc (qemu-i386): far too slow for the Windows tests
#              unless asked for
#   none       32-bit code cannot run here
# ZRK_NO_32BIT=1 answers "none" without trying, so that the path taken on
# such hosts can be exercised anywhere.
# Usage: scripts/probe-32bit.sh [WORK_DIR]
set -euo pipefail
work=${1:-${TMPDIR:-/tmp}}
mkdir -p "$work"

if [ "${ZRK_NO_32BIT:-0}" = 1 ]; then
  echo none
  echo "ZRK_NO_32BIT=1 says so (forced; not tried)"
  exit 0
fi

probe="$work/zrk-probe-i386"
# ELF header, one loadable segment, then: mov ebx,42; mov eax,1; int 0x80.
python3 - "$probe" <<'PY'
import struct, sys
base = 0x08048000
code = bytes([0xbb, 42, 0, 0, 0, 0xb8, 1, 0, 0, 0, 0xcd, 0x80])
ehsize, phsize = 52, 32
size = ehsize + phsize + len(code)
header = b"\x7fELF" + bytes([1, 1, 1, 0]) + bytes(8)
header += struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, base + ehsize + phsize, ehsize, 0, 0,
                      ehsize, phsize, 1, 0, 0, 0)
segment = struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000)
with open(sys.argv[1], "wb") as f:
    f.write(header + segment + code)
PY
chmod +x "$probe"

set +e
err=$("$probe" 2>&1 >/dev/null)
rc=$?
set -e
rm -f "$probe"
if [ "$rc" != 42 ]; then
  echo none
  case "$err" in
    *"Exec format error"*) echo "a 32-bit program fails to start: Exec format error" ;;
    *) echo "a 32-bit program did not run (exit $rc${err:+: $err})" ;;
  esac
  exit 0
fi

# binfmt_misc handlers are tried before the kernel's own: an enabled one for
# i386 programs means the probe may have run emulated.
for entry in /proc/sys/fs/binfmt_misc/*; do
  [ -f "$entry" ] || continue
  case "$(basename "$entry")" in register|status) continue ;; esac
  grep -qx enabled "$entry" 2>/dev/null || continue
  # i386 ELF executables: class 32, little-endian, machine 3.
  if grep -q '^magic 7f454c4601010100000000000000000002000300' "$entry" 2>/dev/null; then
    echo emulated
    echo "32-bit programs run through $(sed -n 's/^interpreter //p' "$entry")"
    exit 0
  fi
done
echo native
echo "a 32-bit program runs"
