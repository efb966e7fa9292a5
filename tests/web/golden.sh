#!/bin/sh
# The golden transcripts replayed by the WebAssembly build of the game under node, through the
# same checker as the native quiz-replay.
# Usage: golden.sh WEB-BUILD-DIR SMALL.kqd
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$1
small=$2
wrapper=$(mktemp)
trap 'rm -f "$wrapper"' EXIT
printf '#!/bin/sh\nexec node "%s" "$@"\n' "$build/quiz-replay-node.js" >"$wrapper"
chmod +x "$wrapper"
sh "$here/../golden/check.sh" "$wrapper" "$build/site/sample.kqd" "$small"
