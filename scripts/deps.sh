#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs, when any is missing.
# Usage: scripts/deps.sh [run|test|screenshots]
set -euo pipefail
what=${1:-test}
pkgs=(cmake g++ make qt6-base-dev libgtest-dev libgmock-dev googletest libbenchmark-dev)
if [ "$what" = test ]; then
  # The Windows program is 32-bit: i686 compilers, and 32-bit wine (from
  # Debian's i386 architecture) to run its tests. The 64-bit ones serve
  # ZRK_WIN_BITS=64 scripts/test-windows.sh. nsis builds the Windows installer.
  pkgs+=(clang libclang-rt-14-dev mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64 wine32:i386 nsis)
  # The window tests on real X servers: the Qt windows on Xvfb screens of a
  # laptop's and a small monitor's size, the Windows program in a wine
  # desktop of that size (xprop sets a screen's work area; DejaVu is the
  # font whose widths the tests measure).
  pkgs+=(xvfb xauth x11-utils fonts-dejavu-core)
fi
# The README's pictures of the window are taken on a virtual X display.
screenshot_pkgs=(xvfb xauth fonts-dejavu-core x11-utils x11-apps imagemagick)
if [ "$what" = screenshots ]; then
  pkgs+=("${screenshot_pkgs[@]}")
fi
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  # Packages of another architecture (wine32:i386) need it enabled first.
  for p in "${missing[@]}"; do
    case "$p" in
      *:*)
        arch=${p#*:}
        case " $(dpkg --print-architecture) $(dpkg --print-foreign-architectures | tr '\n' ' ') " in
          *" $arch "*) ;;
          *) $SUDO dpkg --add-architecture "$arch" ;;
        esac
        ;;
    esac
  done
  # A mirror in the middle of a sync can fail one index (seen for i386):
  # the lists it did fetch still serve the rest.
  $SUDO apt-get update -q || echo "apt-get update reported errors: installing from the package lists it has" >&2
  install() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "$@"; }
  if ! install "${missing[@]}"; then
    # Another architecture's packages can be out of step with the mirror's
    # own: install the rest; the Windows tests then say in one line what
    # they could not run without them.
    native=()
    for p in "${missing[@]}"; do
      case "$p" in *:*) ;; *) native+=("$p") ;; esac
    done
    [ ${#native[@]} -lt ${#missing[@]} ] || exit 1
    echo "Could not install the packages of another architecture; installing the rest" >&2
    [ ${#native[@]} -eq 0 ] || install "${native[@]}"
  fi
fi
