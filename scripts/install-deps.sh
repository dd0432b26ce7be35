#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running Voxbench need,
# and nothing when they are all present already.
set -euo pipefail

packages=(
  build-essential clang cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins fonts-dejavu-core fonts-dejavu-extra
  libopus-dev portaudio19-dev libsndfile1-dev libsoxr-dev libebur128-dev libcli11-dev
  nlohmann-json3-dev
  espeak-ng sox scdoc
)
if [ "${1:-}" = "--test" ]; then
  packages+=(clang-format xvfb xdotool x11-apps imagemagick libclang-rt-14-dev
             pipewire pipewire-pulse pipewire-alsa pipewire-bin wireplumber pulseaudio-utils dbus
             man-db desktop-file-utils appstream shared-mime-info lintian)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq -o DPkg::Lock::Timeout=300
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o DPkg::Lock::Timeout=300 \
  --no-install-recommends "${missing[@]}"
