#!/bin/sh
# Makes the Debian package, checks it with lintian, and tries it as a user would on a fresh
# Debian 12 root made with debootstrap: install, play, build a quiz, remove, with nothing left.
# Then the same again beside desktop-file-utils, to see Debian's triggers register the menu
# entry and the quiz file type and forget them on removal.
# Usage: deb_in_chroot.sh BUILD_DIR VERSION
# Needs root. Downloads are kept under BUILD_DIR/package-test/cache, so a rerun is fast.
set -eu

build_dir=$(cd "$1" && pwd)
version=$2
skip=77
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: debootstrap and chroot need root; run the package test as root" >&2
    exit "$skip"
fi

top="$build_dir/package-test"
cache="$top/cache"
root="$top/root"
mkdir -p "$cache/debootstrap" "$cache/archives"
rm -rf --one-file-system "$root" "$top/deb"
trap 'rm -rf --one-file-system "$root"' EXIT
trap 'exit 1' INT TERM

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# Runs a command inside the root, with apt never asking questions.
in_root() {
    chroot "$root" env DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 "$@"
}
# Runs a shell command as the player, with a login shell's PATH and fresh runtime folders.
as_player() {
    in_root runuser -l player -c "export XDG_RUNTIME_DIR=/tmp/run-player TMPDIR=/tmp/run-player; $1"
}
apt_install() {
    cp -l "$cache/archives/"*.deb "$root/var/cache/apt/archives/" 2>/dev/null || true
    in_root sh -c "cd /tmp && apt-get install -y -q --no-install-recommends $*" >"$top/apt.log" 2>&1 ||
        { cat "$top/apt.log" >&2; fail "apt-get install $* failed"; }
    cp -l -f "$root/var/cache/apt/archives/"*.deb "$cache/archives/" 2>/dev/null || true
}
apt_remove() {
    in_root apt-get remove -y -q pocketperna >"$top/apt.log" 2>&1 ||
        { cat "$top/apt.log" >&2; fail "apt-get remove failed"; }
}
# Nothing of the package may outlive its removal: no file it installed, none its triggers made.
check_nothing_left() {
    left=$(cd "$root" && find . -xdev \( -path ./tmp -o -path ./home -o -path ./var/log -o -path ./var/lib/dpkg \
        -o -path ./var/cache/apt -o -path ./proc \) -prune -o \( -iname '*pocketperna*' -o -name 'kqd*' \) -print)
    [ -z "$left" ] || fail "left behind after removal: $left"
    if grep -rl pocketperna "$root/usr/share/mime" "$root/usr/share/applications" 2>/dev/null; then
        fail "the MIME or desktop database still names the game after removal"
    fi
}

# The package, made from this build's install rules.
cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$top/deb" >"$top/cpack.log" 2>&1 ||
    { cat "$top/cpack.log" >&2; fail "cpack could not make the package"; }
deb_name="pocketperna_${version}-1_$(dpkg --print-architecture).deb"
deb="$top/deb/$deb_name"
[ -f "$deb" ] || fail "cpack made no $deb_name: $(ls "$top/deb")"
dpkg-deb -f "$deb" Section | grep -qx games || fail "the package is not in section games"
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "the dependencies were not computed from the binaries"
dpkg-deb -f "$deb" Depends | grep -q libsdl2-2.0-0 || fail "the package does not depend on SDL2, which the game loads itself"
# The parts the game loads on first use, and the libraries only they link.
for module in pocketperna-progress pocketperna-party pocketperna-sheets; do
    dpkg-deb -c "$deb" | grep -q "/pocketperna/$module.so\$" || fail "the package lacks $module.so"
done
dpkg-deb -f "$deb" Depends | grep -q libqt6charts6 || fail "the package does not depend on Qt Charts, which a module links"
if ! lintian --fail-on error,warning "$deb" >"$top/lintian.log" 2>&1; then
    grep -v 'running with root privileges' "$top/lintian.log" >&2
    fail "lintian reports errors or warnings"
fi

# The machine's own Debian mirror, and its proxy for apt if it has one.
mirror=$(cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
    awk '$1 == "deb" { for (i = 2; i < NF; i++) if ($i ~ /:\/\// && $(i + 1) == "bookworm") { print $i; exit } }')
if [ -z "$mirror" ]; then
    mirror=$(awk 'BEGIN { RS = "" }
        /(^|\n)Types:[^\n]*deb([ \t]|\n|$)/ && /(^|\n)Suites:[^\n]*[ \t]bookworm([ \t]|\n|$)/ {
            if (match($0, /URIs:[ \t]*[^ \t\n]+/)) { uri = substr($0, RSTART, RLENGTH); sub(/URIs:[ \t]*/, "", uri); print uri; exit }
        }' /etc/apt/sources.list.d/*.sources 2>/dev/null)
fi
mirror=${mirror:-http://deb.debian.org/debian}
eval "$(apt-config shell proxy Acquire::http::Proxy)"
if [ -n "${proxy:-}" ]; then
    export http_proxy="$proxy"
fi

if ! debootstrap --variant=minbase --cache-dir="$cache/debootstrap" bookworm "$root" "$mirror" \
    >"$top/debootstrap.log" 2>&1; then
    tail -n 5 "$top/debootstrap.log" >&2
    echo "SKIP: debootstrap could not make a Debian 12 root from $mirror (no network?)" >&2
    exit "$skip"
fi
if [ -n "${proxy:-}" ]; then
    echo "Acquire::http::Proxy \"$proxy\";" >"$root/etc/apt/apt.conf.d/01proxy"
fi
# No services start inside the root.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
in_root apt-get update -q >"$top/apt.log" 2>&1 || { cat "$top/apt.log" >&2; fail "apt-get update failed"; }
in_root useradd -m player
in_root install -d -m 700 -o player -g player /tmp/run-player
cp "$deb" "$root/tmp/"

# Recommends are left out: the Depends alone must be enough to run the game.
apt_install "./$deb_name"
[ "$(as_player 'pocketperna --version')" = "ポケットペルナ Version 1.1" ] || fail "pocketperna --version"
as_player 'kqd build /usr/share/pocketperna/samples/sample.tsv -o sample.kqd && kqd check sample.kqd' ||
    fail "kqd could not build the installed sample table"
cmp -s "$root/home/player/sample.kqd" "$root/usr/share/pocketperna/samples/sample.kqd" ||
    fail "kqd built a different quiz from the installed table than the packaged sample"
# The game starts on Qt's offscreen platform, writes its settings file and keeps running.
as_player 'QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy pocketperna /usr/share/pocketperna/samples/sample.kqd &
    game=$!
    for _ in $(seq 1 100); do
        [ -f ~/Documents/ポケットペルナ.txt ] && break
        kill -0 $game 2>/dev/null || exit 1
        sleep 0.2
    done
    [ -f ~/Documents/ポケットペルナ.txt ] || exit 1
    sleep 1
    kill $game && wait $game; [ $? -eq 143 ]' >"$top/game.log" 2>&1 ||
    { cat "$top/game.log" >&2; fail "the game did not start and keep running with its settings file in ~/Documents"; }
grep -q 'application/x-pocketperna-quiz:\*\.kqd' "$root/usr/share/mime/globs2" ||
    fail "the MIME database does not know *.kqd"
apt_remove
check_nothing_left

apt_install desktop-file-utils "./$deb_name"
grep -q '^application/x-pocketperna-quiz=pocketperna.desktop;' "$root/usr/share/applications/mimeinfo.cache" ||
    fail "the desktop database does not open quiz files with the game"
apt_remove
check_nothing_left

echo "PASS: $deb_name passes lintian, installs, runs and removes cleanly on Debian 12 from $mirror"
