# Shared by scripts/test and scripts/demo: install what is missing, then build.
# shellcheck shell=bash
ZORVEL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

ZORVEL_PACKAGES=(cmake ninja-build g++ ccache qt6-base-dev qt6-base-dev-tools qt6-svg-dev
  qt6-httpserver-dev qt6-websockets-dev libqt6sql6-sqlite libsecret-1-dev libssl-dev
  gnome-keyring libsecret-tools dbus-x11 xvfb trayer xdotool xcompmgr openbox imagemagick
  clang libclang-rt-14-dev curl)

zorvel_install_packages() {
  local missing=() pkg
  for pkg in "${ZORVEL_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# zorvel_build PRESET [extra cmake arguments...]
zorvel_build() {
  local preset=$1; shift
  cmake --preset "$preset" -S "$ZORVEL_ROOT" "$@" >/dev/null
  cmake --build "$ZORVEL_ROOT/build/$preset"
}
