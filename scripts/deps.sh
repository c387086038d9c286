#!/bin/bash
# Installs the Debian packages the build, the tests and the simulated board
# need, only when something is missing.
set -e
PKGS="build-essential cmake pkg-config qtbase5-dev libboost-dev libhidapi-dev fonts-wqy-microhei fonts-material-design-icons-iconfont googletest libgtest-dev libgmock-dev libbenchmark-dev strace python3 edid-decode xvfb xauth"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "installing:$missing"
  SUDO=""; [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq $missing >/dev/null
fi
