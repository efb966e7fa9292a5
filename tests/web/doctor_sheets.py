#!/usr/bin/python3
"""doctor_sheets.py SHOWN.xlsx GNUMERIC.ods OUT.xlsx OUT.ods

Copies the spreadsheets of tests/sheets with what other programs write in them and the fixtures
lack: a phonetic guide beside a shared text and merged genre cells whose covered cells are empty
(Excel), a cell of two paragraphs and a row inside a group of header rows (LibreOffice). The
quizzes they hold stay the same.
"""
import sys
import zipfile


def doctor(source, target, edits):
    with zipfile.ZipFile(source) as old, zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as new:
        for item in old.infolist():
            data = old.read(item.filename)
            if item.filename in edits:
                data = edits[item.filename](data.decode("utf-8")).encode("utf-8")
            new.writestr(item, data)


def replace_once(text, old, new):
    if old not in text:
        raise SystemExit(f"doctor_sheets: {old!r} not found")
    return text.replace(old, new, 1)


def ods(text):
    text = replace_once(text, "改行を<text:line-break/>含む問題文", "改行を</text:p><text:p>含む問題文")
    start = text.index("<table:table-row ")
    end = text.index("</table:table-row>", start) + len("</table:table-row>")
    return text[:start] + "<table:table-header-rows>" + text[start:end] + "</table:table-header-rows>" + text[end:]


def shared(text):
    return replace_once(text, "<si><t>歴史</t></si>", '<si><t>歴史</t><rPh sb="0" eb="2"><t>れきし</t></rPh></si>')


def merged(text):
    # The genre cells under the first cell of each merge (A1:A2, A3:A5), the second and the last.
    for cell in ('<c r="A2" t="s"><v>0</v></c>', '<c r="A5" t="s"><v>3</v></c>'):
        text = replace_once(text, cell, "")
    return text


doctor(sys.argv[1], sys.argv[3], {"xl/sharedStrings.xml": shared, "xl/worksheets/sheet1.xml": merged})
doctor(sys.argv[2], sys.argv[4], {"content.xml": ods})
