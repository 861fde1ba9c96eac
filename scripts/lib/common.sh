# Shared by the scripts: install what is missing, then configure and build.
# shellcheck shell=bash

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BUILD_DIR="${KV9240B_BUILD_DIR:-$ROOT/build}"
# clang with AddressSanitizer, UndefinedBehaviorSanitizer and the fuzzers.
CHECK_DIR="${KV9240B_CHECK_DIR:-$ROOT/build-check}"

# Debian packages the build, the tests and the window need
# (help2man writes the manual pages, rsvg-convert draws the icon's bitmaps;
# qt6-tools-dev and qt6-l10n-tools build the translations, and
# qt6-translations-l10n holds Qt's own Chinese, which the build embeds; the window's
# Chinese is drawn in WenQuanYi Micro Hei, its Latin text and signs such as "℃" in
# DejaVu Sans, and Arial's place is taken by Liberation Sans; kv9240b serve reads
# its TOML configuration with toml++, answers Prometheus with Qt's HTTP server,
# whose CMake package needs Qt WebSockets beside it, and talks MQTT through libmosquitto).
PACKAGES=(
  cmake ninja-build g++
  qt6-base-dev qt6-serialport-dev
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
  libqcustomplot-dev libqcustomplot2.1-qt6
  fonts-wqy-microhei fonts-liberation2 fonts-dejavu-core
  help2man librsvg2-bin
  qt6-httpserver-dev qt6-websockets-dev libtomlplusplus-dev libmosquitto-dev
)
# And for making the Debian package and judging it the way Debian and the desktops do.
PACKAGING_PACKAGES=(dpkg-dev desktop-file-utils appstream lintian)
# And for the benchmarks: the peers they measure against (mbpoll beside the
# command line; Qt Serial Bus for the minimal Qt Modbus window beside ours).
BENCH_PACKAGES=(mbpoll qt6-serialbus-dev)
# And for the tests of the command line behind an Ethernet gateway: the peers
# it meets there (mbpoll reading the simulator over Modbus TCP, socat bridging
# TCP to a pseudo-terminal as a transparent gateway, a pymodbus server).
GATEWAY_PEER_PACKAGES=(mbpoll socat python3-pymodbus)
# And for the tests of kv9240b serve: promtool (in prometheus) judges the metrics page,
# a mosquitto broker and mosquitto_sub receive what it publishes (over TLS with
# certificates openssl makes); InfluxDB 1.x takes the influx records of the command
# line as Telegraf would hand them on.
MONITORING_PEER_PACKAGES=(prometheus mosquitto mosquitto-clients openssl influxdb)
# And for the sanitizer and fuzzing build, and the check of the code's format.
CHECK_PACKAGES=(clang libclang-rt-dev clang-format)

# The programs the build makes: the window, the command line and the simulated sensor.
PROGRAMS=(kv9240b-tool kv9240b kv9240b-sim)

say() { printf '==> %s\n' "$*"; }

# as_root COMMAND...: runs COMMAND as root, through sudo when this is not root.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
    return
  fi
  command -v sudo >/dev/null || { echo "$1 needs root: run as root or install sudo" >&2; exit 1; }
  sudo "$@"
}

ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  say "Installing ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The locales the window's tests run in besides C: its Chinese and an English desktop.
TEST_LOCALES=(zh_CN.UTF-8 en_US.UTF-8)

# ensure_locales NAME...: generates those of the locales (zh_CN.UTF-8, ...) this machine lacks,
# the way Debian does, so that they stay when locale-gen runs again.
ensure_locales() {
  local missing=() name
  for name in "$@"; do
    locale -a 2>/dev/null | grep -qix "${name/.UTF-8/.utf8}" || missing+=("$name")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  ensure_packages locales
  say "Generating the locales ${missing[*]}"
  for name in "${missing[@]}"; do
    as_root sed -i "s/^# *\(${name} UTF-8\)\$/\1/" /etc/locale.gen
    grep -qx "${name} UTF-8" /etc/locale.gen || echo "${name} UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
  done
  as_root locale-gen
}

# build DIR [TARGET...]: configures DIR with the cmake arguments in CMAKE_ARGS
# and builds the named targets (all when none).
build() {
  local dir="$1"
  shift
  # CI treats every warning as an error.
  local werror=OFF
  [ -n "${CI:-}" ] && werror=ON
  say "Building in $dir"
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" \
    -DKV9240B_WERROR="$werror" -DKV9240B_BUILD_TESTS=ON "${CMAKE_ARGS[@]}" >/dev/null
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  cmake --build "$dir" "${targets[@]}"
}

check_build_args() {
  CMAKE_ARGS=(-DCMAKE_CXX_COMPILER=clang++ -DKV9240B_SANITIZE=ON -DKV9240B_FUZZ=ON "$@")
}

# Sanitizer reports end the run; the known leaks of system libraries do not.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:halt_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$ROOT/tests/lsan.supp:print_suppressions=0}"
