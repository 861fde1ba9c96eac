# Shared by scripts/run and scripts/test: install what is missing, then build.
# shellcheck shell=bash

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD_DIR="${KV9240B_BUILD_DIR:-$ROOT/build}"

# Debian packages the build, the tests and the window need.
PACKAGES=(
  cmake ninja-build g++
  qt6-base-dev qt6-serialport-dev
  fonts-wqy-microhei fonts-liberation2
)

say() { printf '==> %s\n' "$*"; }

ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Missing packages: ${missing[*]} (run as root or install sudo)" >&2; exit 1; }
    sudo=(sudo)
  fi
  say "Installing ${missing[*]}"
  "${sudo[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build [TARGET...]: configures and builds the named targets (all when none).
build() {
  # CI treats every warning as an error.
  local werror=OFF
  [ -n "${CI:-}" ] && werror=ON
  say "Building in $BUILD_DIR"
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" \
    -DKV9240B_WERROR="$werror" -DKV9240B_BUILD_TESTS=ON >/dev/null
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  cmake --build "$BUILD_DIR" "${targets[@]}"
}
