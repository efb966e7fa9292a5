#!/bin/sh
# Checks what desktops, software centres and man read about the game: the desktop entry, the
# AppStream metainfo and the manual pages pass their own validators, agree with each other on
# the quiz file type, and document every command and option the programs offer.
# Usage: metadata.sh SOURCE_DIR POCKETPERNA KQD
set -eu
# kqd's help is read in English, whatever the caller's language.
export LANGUAGE= LC_ALL=C.UTF-8

source_dir=$1
pocketperna=$2
kqd=$3
desktop="$source_dir/resources/desktop/pocketperna.desktop"
mime="$source_dir/resources/desktop/pocketperna-quiz.xml"
metainfo="$source_dir/resources/desktop/org.example.pocketperna.metainfo.xml"
game_page="$source_dir/docs/man/pocketperna.6"
kqd_page="$source_dir/docs/man/kqd.1"
kqd_page_ja="$source_dir/docs/man/ja/kqd.1"
failures=0
# The game only prints its help here, but still gets a home of its own.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/run"

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"

# man-db's own warnings, with the options lintian uses; any output on stderr is a fault.
for page in "$game_page" "$kqd_page" "$kqd_page_ja"; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) || fail "man cannot render $page"
    [ -z "$warnings" ] || fail "man warns about $page: $warnings"
done

# One menu, and the quiz file type the same everywhere a desktop looks for it.
grep -qx 'Categories=Game;LogicGame;' "$desktop" || fail "the desktop entry must list one main category"
grep -q '^Comment=' "$desktop" && grep -q '^Comment\[ja\]=' "$desktop" ||
    fail "the desktop entry needs an English and a Japanese comment"
type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mime")
grep -qx "MimeType=$type;" "$desktop" || fail "the desktop entry does not open $type"
grep -q "<mediatype>$type</mediatype>" "$metainfo" || fail "the metainfo does not provide $type"
grep -q "$(echo "$type" | sed 's/-/\\\\-/g')" "$game_page" || fail "pocketperna(6) does not name $type"
grep -q '<launchable type="desktop-id">pocketperna.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch pocketperna.desktop"
for shot in $(sed -n 's|.*<image[^>]*>[^<]*/\([^/<]*\)</image>.*|\1|p' "$metainfo"); do
    [ -f "$source_dir/docs/$shot" ] || fail "screenshot $shot is not in docs/"
done

# The options a --help text names: words that start with a dash, not hyphenated words.
options() {
    grep -o -E -- '(^|[ [])--?[a-z][a-z0-9-]*' | sed 's/^[ []//' | sort -u
}

# Every command and option of today's --help texts has its place in the manual pages.
for command in $("$kqd" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z]*\) .*/\1/p'); do
    for page in "$kqd_page" "$kqd_page_ja"; do
        grep -q "^\.B kqd $command\$" "$page" || fail "$page has no synopsis line for \"kqd $command\""
        for option in $("$kqd" "$command" --help | options); do
            grep -q -- "$(echo "$option" | sed 's/-/\\\\-/g')" "$page" ||
                fail "$page does not mention $option of \"kqd $command\""
        done
    done
done
for option in $(HOME="$work" XDG_RUNTIME_DIR="$work/run" "$pocketperna" --help | options); do
    grep -q -- "$(echo "$option" | sed 's/-/\\\\-/g')" "$game_page" ||
        fail "pocketperna(6) does not mention $option"
done

if [ "$failures" -gt 0 ]; then
    exit 1
fi
echo "PASS: desktop entry, metainfo and manual pages"
