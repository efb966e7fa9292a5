#!/usr/bin/python3
"""make_sheets.py FOLDER [lf]

Writes the quiz tables the spreadsheet tests start from, with XlsxWriter, as a teacher's
spreadsheet holds them (dates from 1900 on, since the programs store earlier ones differently):
dates, percentages, zero-padded and formatted numbers, times, literal
text in a format, a line break typed in a cell.

  shown.xlsx     a good quiz; expected.tsv beside it holds every text as the sheet shows it
  mistakes.xlsx  five different mistakes, each in a cell of its own
  sheets.xlsx    shown.xlsx's quiz on its third sheet, after an empty one and a hidden one
  errors.csv     formulas whose results are error values once a spreadsheet program calculates them
"""
import datetime
import sys

import xlsxwriter

GENRE, QUESTION = 0, 1


def day(y, m, d):
    return datetime.datetime(y, m, d)


# Each row: genre, question, then five (value, format) answers, the right one first. The
# format None writes the value as text; the last column is what the sheet shows.
ROWS = [
    ("歴史", "日本国憲法が施行された日は？", "yyyy/m/d",
     [day(1947, 5, 3), day(1946, 11, 3), day(1945, 8, 15), day(1952, 4, 28), day(1900, 3, 1)],
     ["1947/5/3", "1946/11/3", "1945/8/15", "1952/4/28", "1900/3/1"]),
    ("歴史", "東京オリンピック（1964年）の開会式は？", 'yyyy"年"m"月"d"日"',
     [day(1964, 10, 10), day(1964, 10, 24), day(1964, 10, 1), day(1968, 10, 12), day(2021, 7, 23)],
     ["1964年10月10日", "1964年10月24日", "1964年10月1日", "1968年10月12日", "2021年7月23日"]),
    ("数学", "1割は何パーセント？", "0%", [0.1, 0.01, 1, 0.2, 0.5], ["10%", "1%", "100%", "20%", "50%"]),
    ("数学", "0.1%を小数第1位まで書くと？", "0.0%", [0.001, 0.01, 0.0001, 0.1, 0.011],
     ["0.1%", "1.0%", "0.0%", "10.0%", "1.1%"]),
    ("数学", "5÷2は？", "0.00", [2.5, 2.05, 2.25, 5.2, 0.4], ["2.50", "2.05", "2.25", "5.20", "0.40"]),
    ("地理", "富士山の高さ（m）は？", "#,##0", [3776, 12614, 2000, 999, 1234567],
     ["3,776", "12,614", "2,000", "999", "1,234,567"]),
    ("雑学", "4桁の暗証番号の例は？", "0000", [123, 1, 999, 1234, 40], ["0123", "0001", "0999", "1234", "0040"]),
    ("雑学", "正午は何時？", "h:mm", [0.5, 0.0, 0.25, 0.75, 0.9993055555555556],
     ["12:00", "0:00", "6:00", "18:00", "23:59"]),
    ("雑学", "クイズ大会の問題番号は？", '"第"0"問"', [3, 10, 1, 100, 7], ["第3問", "第10問", "第1問", "第100問", "第7問"]),
    ("数学", "円周率を小数第2位までで？", None, [3.14, 1600, 42, 0.25, 1000000], ["3.14", "1600", "42", "0.25", "1000000"]),
    ("雑学", "改行を\r\n含む問題文", None, ["はい", "いいえ", "たぶん", "わからない", "どちらでもない"],
     ["はい", "いいえ", "たぶん", "わからない", "どちらでもない"]),
]


def write_rows(sheet, book, rows):
    formats = {}
    for r, (genre, question, code, answers, _) in enumerate(rows):
        sheet.write_string(r, GENRE, genre)
        sheet.write_string(r, QUESTION, question)
        fmt = None
        if code is not None:
            fmt = formats.setdefault(code, book.add_format({"num_format": code}))
        for c, value in enumerate(answers):
            if isinstance(value, datetime.datetime):
                sheet.write_datetime(r, 2 + c, value, fmt)
            elif isinstance(value, str):
                sheet.write_string(r, 2 + c, value)
            else:
                sheet.write_number(r, 2 + c, value, fmt)


def expected_tsv(rows):
    lines = ["#kqd: escapes"]
    by_genre = {}
    for genre, question, _, _, shown in rows:
        by_genre.setdefault(genre, []).append((question, shown))
    for genre, questions in by_genre.items():
        for question, shown in questions:
            text = question.replace("\r\n", "\n").replace("\n", "\\n")
            lines.append("\t".join([genre, text] + shown))
    return "\n".join(lines) + "\n"


def main(folder, line_break):
    global ROWS
    ROWS = [(g, q.replace("\r\n", line_break), code, answers, shown) for g, q, code, answers, shown in ROWS]
    book = xlsxwriter.Workbook(f"{folder}/shown.xlsx")
    sheet = book.add_worksheet("問題")
    write_rows(sheet, book, ROWS)
    # Genre cells merged over the rows of their genre, as teachers like them.
    sheet.merge_range(0, GENRE, 1, GENRE, "歴史")
    sheet.merge_range(2, GENRE, 4, GENRE, "数学")
    # A hidden row of notes, which the quiz leaves out.
    sheet.write_row(len(ROWS), 0, ["メモ", "あとで確認する"])
    sheet.set_row(len(ROWS), None, None, {"hidden": True})
    book.close()
    with open(f"{folder}/expected.tsv", "w", encoding="utf-8") as out:
        out.write(expected_tsv(ROWS))

    book = xlsxwriter.Workbook(f"{folder}/mistakes.xlsx")
    sheet = book.add_worksheet("問題")
    write_rows(sheet, book, ROWS[:6])
    sheet.write_formula(0, 3, "=C1+1")  # saved without its result           D1
    era = book.add_format({"num_format": '[$-411]ggge"年"m"月"d"日"'})
    sheet.write_datetime(1, 4, day(1964, 10, 24), era)  # an era date            E2
    fraction = book.add_format({"num_format": "# ?/?"})
    sheet.write_number(2, 5, 0.5, fraction)  # a fraction                       F3
    sheet.write_blank(3, 6, None, book.add_format({"bold": True}))  # an empty wrong answer  G4
    sheet.write_string(4, 4, "2.05")  # the same as wrong answer 1              E5 (D5 holds 2.05)
    book.close()

    # The quiz behind an empty cover sheet and a hidden sheet of drafts, as a teacher's workbook
    # often is: the first visible sheet that holds data is read.
    book = xlsxwriter.Workbook(f"{folder}/sheets.xlsx")
    book.add_worksheet("表紙")
    drafts = book.add_worksheet("下書き")
    drafts.write_row(0, 0, ["歴史", "下書きの問題", "a", "b", "c", "d", "e"])
    drafts.hide()
    write_rows(book.add_worksheet("問題"), book, ROWS)
    book.close()

    # LibreOffice keeps the results an .xlsx stores, so the table whose formulas end in error
    # values is a CSV, whose formulas it calculates on import.
    with open(f"{folder}/errors.csv", "w", encoding="utf-8") as out:
        out.write("歴史,関ヶ原の戦いは何年？,1600,1582,=1/0,1573,1603\n")  #           E1
        out.write("歴史,鎌倉幕府を開いたのは？,源頼朝,足利尊氏,平清盛,徳川家康,北条時政\n")
        out.write("科学,水の化学式は？,H2O,CO2,O2,NaCl,=NA()\n")  #                        G3


if __name__ == "__main__":
    # Excel stores a line break typed in a cell as "\r\n"; Gnumeric reads that back as the text
    # "_x000D_" and a line break, so its files are made with plain line breaks ("lf").
    main(sys.argv[1], "\n" if sys.argv[2:] == ["lf"] else "\r\n")
