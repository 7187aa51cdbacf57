#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when missing.
# "install-deps.sh fuzz" installs what the fuzz targets need instead (make fuzz).
set -euo pipefail
if [ "${1:-}" = fuzz ]; then
  PKGS=(cmake make clang-14 libclang-rt-14-dev)
else
PKGS=(cmake make g++ pkg-config qt6-base-dev libgl-dev libgpgmepp-dev libgpgme-dev gnupg
      libx11-dev libxcb1-dev libgtest-dev libgmock-dev xvfb xauth xdotool xterm x11-utils xclip
      fonts-dejavu-core fonts-dejavu-extra qt6-translations-l10n python3-minimal python3-cryptography openbox
      dbus-daemon at-spi2-core python3-pyatspi qt6-wayland sway wtype wl-clipboard python3-dbus python3-gi
      desktop-file-utils appstream man-db shared-mime-info libglib2.0-bin file passwd util-linux)
fi
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
