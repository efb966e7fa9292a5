#!/bin/sh
# Installs every Debian package the project needs to build, run, test and package.
# Idempotent: does nothing when all packages are present. Run as root (or with sudo available).
set -eu

PACKAGES="
  build-essential g++ cmake make pkg-config ca-certificates
  libgtest-dev libgmock-dev googletest libbenchmark-dev libsqlite3-dev
  libicu-dev libzip-dev zlib1g-dev nlohmann-json3-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n qt6-charts-dev libqt6opengl6-dev
  libsdl2-dev
  fonts-vlgothic
  xvfb xdotool x11-utils imagemagick xauth
  dpkg-dev file lintian debootstrap appstream desktop-file-utils groff man-db gettext
  clang-14 libclang-rt-14-dev llvm-14
  emscripten esbuild chromium python3-fonttools python3-brotli unicode-data
  libreoffice-calc-nogui gnumeric python3-xlsxwriter
  qt6-httpserver-dev qt6-websockets-dev libqrencode-dev python3-websockets
"
# The browser test installs puppeteer-core with npm: Debian's npm, unless a node of another origin
# already brings its own (its nodejs package would conflict with Debian's npm).
if ! command -v npm >/dev/null 2>&1; then
  PACKAGES="$PACKAGES nodejs npm"
fi

missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done

if [ -z "$missing" ]; then
  exit 0
fi

echo "setup: installing$missing" >&2
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
# Another installer (an update running in the background, a second terminal) may hold the package
# lock: wait for it as a person would, rather than fail at once.
LOCK_WAIT=${PERNA_APT_LOCK_WAIT:-300}
echo "setup: waiting up to $LOCK_WAIT s for the package lock if another installer holds it" >&2
$SUDO apt-get -o DPkg::Lock::Timeout="$LOCK_WAIT" update -qq
# shellcheck disable=SC2086
$SUDO apt-get -o DPkg::Lock::Timeout="$LOCK_WAIT" install -y -qq --no-install-recommends $missing >/dev/null
