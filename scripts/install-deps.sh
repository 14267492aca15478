#!/usr/bin/env bash
# Installs every Debian 12 package that building, running, testing, fuzzing and
# packaging Tessaline need. Idempotent: when everything is present it only checks.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang libclang-rt-14-dev          # libFuzzer and the sanitizer runtimes
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libpixman-1-dev                   # benchmark only: the backdrop's pixman peer
  qt6-base-dev                      # Widgets, Test, uic/moc/rcc
  nlohmann-json3-dev                # JSON output of --list --json
  libpng-dev                        # card sheets given as PNG
  libelf-dev                        # tessaline-pack rewrites the resource sections (elfutils' libelf)
  xvfb xauth                        # a display for `make run` on headless machines
  x11-utils                         # xprop, xwininfo: the window and desktop tests read windows under Xvfb
  openbox                           # the window manager the desktop tests (tests/desktop) run under
  xdotool                           # the desktop tests' keyboard and window lookups
  libxcb1-dev                       # tests/desktop's x_probe sends the window manager requests
  fonts-dejavu-core                 # the fonts the window renders with
  binutils                          # objcopy, to extract embedded resources
  dpkg-dev file                     # `make package` (CPack DEB)
  lintian                           # the package test checks the .deb as Debian does
  desktop-file-utils                # desktop-file-validate, for the desktop entry
  appstream                         # appstreamcli validate, for the AppStream metainfo
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
    echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
    exit 1
  fi
else
  SUDO=
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get -o DPkg::Lock::Timeout=600 update -qq
$SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq --no-install-recommends "${missing[@]}"
