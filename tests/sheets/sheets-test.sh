#!/bin/sh
# Makes spreadsheets with the real programs quiz makers use and checks what kqd builds from them:
# every text as the sheet shows it, the same quiz bytes from every program and format, and each
# cell that cannot be taken refused by its name.
#   sheets-test.sh KQD WORKDIR xlsxwriter|libreoffice|gnumeric
set -eu
KQD=$1
WORK=$2
PROGRAM=$3
HERE=$(cd "$(dirname "$0")" && pwd)

rm -rf "$WORK"
mkdir -p "$WORK/home" "$WORK/run"
chmod 700 "$WORK/run"
export HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/run" LANG=C.UTF-8 LC_ALL=C.UTF-8
cd "$WORK"
/usr/bin/python3 "$HERE/make_sheets.py" "$WORK" "$([ "$PROGRAM" = gnumeric ] && echo lf || true)"
"$KQD" build expected.tsv -o expected.kqd >/dev/null

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The quiz built from $1 holds exactly the texts of expected.tsv.
shows() {
  "$KQD" build "$1" -o "$1.kqd" >/dev/null 2>"$1.err" || fail "$1 was refused: $(cat "$1.err")"
  if ! cmp -s expected.kqd "$1.kqd"; then
    "$KQD" dump "$1.kqd" --tsv | diff expected.tsv - >&2 || true
    fail "$1 does not hold what the sheet shows"
  fi
}

# Building $1 fails, and its report holds each of the lines that follow, in that order.
refuses() {
  file=$1
  shift
  if "$KQD" build "$file" -o "$file.kqd" >/dev/null 2>"$file.err"; then
    fail "$file was built"
  fi
  [ ! -e "$file.kqd" ] || fail "$file: a quiz was written despite the errors"
  for line in "$@"; do
    grep -qF -- "$line" "$file.err" || fail "$file: the report lacks \"$line\":
$(cat "$file.err")"
  done
}

# Converts each of the files after $2 to format $1 into folder $2, with LibreOffice.
libreoffice() {
  format=$1
  out=$2
  shift 2
  soffice -env:UserInstallation="file://$WORK/profile" --headless --norestore --convert-to "$format" \
    --outdir "$out" "$@" >/dev/null 2>&1 || fail "LibreOffice could not convert to $format"
}

case $PROGRAM in
  xlsxwriter)
    shows shown.xlsx
    grep -qF "問題 row 12: note: the row is hidden" shown.xlsx.err || fail "the hidden row is not named: $(cat shown.xlsx.err)"
    if "$KQD" build shown.xlsx -o hidden.kqd --include-hidden 2>hidden.err; then fail "--include-hidden left out the row"; fi
    grep -qF "問題!C12: the right answer is empty" hidden.err || fail "--include-hidden: $(cat hidden.err)"
    shows sheets.xlsx
    grep -qF "note: the sheet 下書き is hidden and left out" sheets.xlsx.err || fail "the hidden sheet: $(cat sheets.xlsx.err)"
    grep -qF "read from the sheet 問題" sheets.xlsx.err || fail "the sheet read is not named: $(cat sheets.xlsx.err)"
    "$KQD" build sheets.xlsx -o hidden.kqd --include-hidden 2>hidden.err || fail "--include-hidden: $(cat hidden.err)"
    grep -qF "read from the sheet 下書き" hidden.err || fail "--include-hidden did not read the hidden sheet: $(cat hidden.err)"
    refuses mistakes.xlsx \
      "問題!D1: a formula saved without its result" \
      "問題!E2: the cell's number format" "format the column as text" \
      "問題!F3: the cell's number format \"# ?/?\" shows a fraction" \
      "問題!G4: the wrong answer 4 is empty" \
      "問題!E5: wrong answer 1 and wrong answer 2 are the same" \
      "5 errors; nothing written"
    ;;
  libreoffice)
    libreoffice ods lo shown.xlsx
    soffice -env:UserInstallation="file://$WORK/profile" --headless --norestore --infilter="CSV:44,34,76,1" \
      --convert-to ods --outdir lo errors.csv >/dev/null 2>&1 || fail "LibreOffice could not read errors.csv"
    libreoffice ods lo sheets.xlsx
    libreoffice xlsx lo-xlsx lo/shown.ods lo/errors.ods
    shows lo/shown.ods
    shows lo/sheets.ods
    grep -qF "note: the sheet 下書き is hidden and left out" lo/sheets.ods.err || fail "the hidden sheet: $(cat lo/sheets.ods.err)"
    shows lo-xlsx/shown.xlsx
    for file in lo/errors.ods lo-xlsx/errors.xlsx; do
      refuses "$file" "errors!E1: the cell shows the error #DIV/0!" "errors!G3: the cell shows the error #N/A"
    done
    # The way back: the quiz written as a spreadsheet, opened and saved again, builds the same bytes;
    # so does the template as LibreOffice saves it.
    "$KQD" dump expected.kqd --xlsx back.xlsx >/dev/null || fail "dump --xlsx"
    "$KQD" dump expected.kqd --ods back.ods >/dev/null || fail "dump --ods"
    "$KQD" template -o template.xlsx >/dev/null || fail "template"
    libreoffice xlsx lo-back back.xlsx template.xlsx
    libreoffice ods lo-back back.ods
    shows lo-back/back.xlsx
    shows lo-back/back.ods
    "$KQD" build lo-back/template.xlsx -o template.kqd >/dev/null 2>template.err || fail "the template: $(cat template.err)"
    ;;
  gnumeric)
    ssconvert shown.xlsx gnumeric.ods >/dev/null 2>&1 || fail "ssconvert could not write .ods"
    ssconvert shown.xlsx gnumeric.xlsx >/dev/null 2>&1 || fail "ssconvert could not write .xlsx"
    shows gnumeric.ods
    shows gnumeric.xlsx
    ;;
  *)
    fail "unknown program $PROGRAM"
    ;;
esac
echo "ok: $PROGRAM"
