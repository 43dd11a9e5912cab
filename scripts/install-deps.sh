#!/bin/sh
# Installs the Debian packages Tarnlux needs to build, test and run, and only
# those that are missing. Safe to run again.
set -eu

PACKAGES="cmake make g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev \
libbenchmark-dev ccache xvfb xauth xdotool imagemagick socat lrzsz qt6-translations-l10n \
clang libclang-rt-14-dev poppler-utils"

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

[ -z "$missing" ] && exit 0

echo "Installing:$missing"
SUDO=""
if [ "$(id -u)" != "0" ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
# shellcheck disable=SC2086
$SUDO apt-get install -y -qq --no-install-recommends $missing
