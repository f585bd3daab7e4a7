#!/usr/bin/env bash
# Installs every Debian package Mirano needs to build, run and test.
# Idempotent: quiet when everything is already present.
set -euo pipefail

BUILD_PKGS=(
  cmake g++ ninja-build ccache lld pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6
  libxcb1-dev libxcb-composite0-dev libxcb-damage0-dev libxcb-render0-dev
  libxcb-render-util0-dev libxcb-shm0-dev libxcb-xinput-dev libxcb-xkb-dev
  libxcb-xtest0-dev libxcb-shape0-dev libxcb-xfixes0-dev libxcb-randr0-dev
  libxcb-icccm4-dev libxcb-ewmh-dev libxcb-util-dev libxcb-keysyms1-dev
  libxcb-res0-dev libxkbcommon-dev libxkbcommon-x11-dev
  libgtest-dev libgmock-dev clang-format
  libpipewire-0.3-dev  # Wayland capture: the portal's PipeWire stream
  fonts-dejavu-core
  libwayland-dev wayland-protocols qt6-base-private-dev  # the Wayland desktop side
  dpkg-dev file appstream  # the Debian package: cpack's dpkg-shlibdeps, and the metadata's validator
)
RUN_PKGS=(
  xvfb xauth openbox xdotool x11-utils x11-xkb-utils x11-xserver-utils
  xcompmgr dbus dbus-x11 trayer imagemagick
  fonts-symbola  # the pause symbol U+23F8 of the paused overlay (DejaVu lacks it)
  pipewire pipewire-bin wireplumber  # Wayland capture tests: a private PipeWire per test
  qt6-wayland sway grim wtype  # Qt on Wayland; the headless compositor, screenshots and keys of the Wayland tests
  # The KDE tests: a headless KWin (its kglobalaccel inside) with the desktop portal and KDE's
  # backend, whose Qt 5 needs its Wayland plugin. About 150 packages, 41 MB, half a minute.
  kwin-wayland xdg-desktop-portal xdg-desktop-portal-kde qtwayland5
)
BENCH_PKGS=(time python3 bc ffmpeg gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
  gstreamer1.0-x
  gstreamer1.0-pipewire gstreamer1.0-plugins-bad)  # the Wayland mirror: pipewiresrc, waylandsink

want=("${BUILD_PKGS[@]}" "${RUN_PKGS[@]}")
case "${1:-}" in
  --bench) want+=("${BENCH_PKGS[@]}") ;;
  --build) want=("${BUILD_PKGS[@]}") ;;  # enough to compile; the rest can come meanwhile
  --run) want=("${RUN_PKGS[@]}" "${BUILD_PKGS[@]}") ;;
esac

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt=(apt-get -o DPkg::Lock::Timeout=900)
# dpkg syncs every file it unpacks, much of a fresh install's time; a crash meanwhile means
# installing again, as this script would.
install() {
  $SUDO "${apt[@]}" -o DPkg::Options::=--force-unsafe-io install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}
# The test command installs in two rounds a minute apart: the package lists of the first serve.
if [ -z "$(find /var/lib/apt/lists -maxdepth 0 -mmin -30 2>/dev/null)" ] || ! install; then
  $SUDO "${apt[@]}" update -qq
  install
fi
