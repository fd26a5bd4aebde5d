#!/usr/bin/env bash
# Builds the Windows package from a Windows build folder:
#   zrk-tq-<version>-win32.zip       the program, its README for Windows users
#                                    and the licence
#   zrk-tq-<version>-win32-setup.exe an installer of the same files, when
#                                    makensis is installed
# Usage: scripts/package-windows.sh [BUILD_DIR] [OUT_DIR]
#        (defaults: build-win32, and BUILD_DIR/package)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build-win32}
out=${2:-$build/package}
exe="$build/zrk-tq.exe"
if [ ! -f "$exe" ]; then
  echo "package-windows: $exe not found: build the Windows program first (scripts/test-windows.sh)" >&2
  exit 2
fi
version=$(sed -n 's/^project([^ ]* VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
if [ -z "$version" ]; then
  echo "package-windows: no version in CMakeLists.txt" >&2
  exit 2
fi
name="zrk-tq-$version-win32"
mkdir -p "$out"
stage="$out/$name"
rm -rf "$stage"
mkdir -p "$stage"

cp "$exe" "$stage/zrk-tq.exe"
# Text files for Windows users: CRLF line ends, so that every editor shows
# them as written.
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' "$root/packaging/windows/README.txt" >"$stage/README.txt"
sed -e 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"

# The zip holds one folder named like the package. Written with Python's
# zipfile (no zip program needed), with fixed file times so that the same
# files give the same archive.
rm -f "$out/$name.zip"
python3 - "$out" "$name" <<'PY'
import os, sys, zipfile
out, name = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(os.path.join(out, name + ".zip"), "w", zipfile.ZIP_DEFLATED) as z:
    for f in ("zrk-tq.exe", "README.txt", "LICENSE.txt"):
        info = zipfile.ZipInfo(name + "/" + f, date_time=(2026, 1, 1, 0, 0, 0))
        info.compress_type = zipfile.ZIP_DEFLATED
        info.external_attr = 0o644 << 16
        with open(os.path.join(out, name, f), "rb") as src:
            z.writestr(info, src.read())
PY
echo "package-windows: $out/$name.zip"

if command -v makensis >/dev/null; then
  makensis -V2 -DVERSION="$version" -DSTAGE="$(cd "$stage" && pwd)" \
    -DOUTFILE="$(cd "$out" && pwd)/$name-setup.exe" "$root/packaging/windows/installer.nsi"
  echo "package-windows: $out/$name-setup.exe"
else
  echo "package-windows: makensis not installed: no installer (apt-get install nsis)"
fi
