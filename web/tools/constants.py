#!/usr/bin/env python3
"""Writes the page's constants.js from the C++ headers and cmake/Version.cmake, so that every
fact the page shares with the game (the tick, command, bitmap and sound ids, the screens, the
name length, the messages it shows, the key names and the version) has its one source there.

Usage: constants.py ROOT OUTPUT
"""
import json
import re
import sys
from pathlib import Path

INT = re.compile(r"inline constexpr (?:int|std::size_t) (k\w+) = (\d+);")
TEXT = re.compile(r'inline constexpr std::u16string_view (k\w+) =\s*u"([^"]*)";', re.S)


def upper(name):
    """kShowRanking -> SHOW_RANKING."""
    return re.sub(r"(?<!^)(?=[A-Z])", "_", name[1:]).upper()


def section(text, start, end="}"):
    """The text of `text` from the line holding `start` to the next `end` after it."""
    begin = text.index(start)
    return text[begin:text.index(end, begin)]


def ints(text):
    return {upper(name): int(value) for name, value in INT.findall(text)}


def read(root, path):
    return (root / path).read_text(encoding="utf-8")


def key_names(root):
    """The browser's key names the game takes (engine/Keys.h), with their codes."""
    path = root / "engine" / "Keys.h"
    if not path.exists():
        return None
    text = path.read_text(encoding="utf-8")
    codes = {name: int(value, 0) for name, value in
             re.findall(r"inline constexpr int (k\w+) = (0x[0-9a-fA-F]+|\d+);", section(text, "namespace key"))}

    def value(expression):
        # A code is a key constant, a number, or one of them plus a small number.
        total = 0
        for term in expression.split("+"):
            term = term.strip()
            total += codes[term[len("key::"):]] if term.startswith("key::") else int(term, 0)
        return total

    table = section(text, "kNamedKeys", "}};")
    return {name: value(code) for name, code in re.findall(r'\{"([^"]+)", "[^"]*", ([^}]+)\}', table)}


def main():
    root, output = Path(sys.argv[1]), Path(sys.argv[2])
    commands = ints(section(read(root, "engine/Commands.h"), "namespace command"))
    sounds = ints(read(root, "engine/Sounds.h"))
    bitmaps_header = read(root, "screens/Bitmaps.h")
    bitmaps = ints(section(bitmaps_header, "namespace pp::bitmap", "struct Size"))
    catalogue = [int(n) for n in re.findall(r"\{(\d+), \{\d+, \d+\}\}", bitmaps_header)]
    surface = ints(read(root, "screens/Surface.h"))
    tick = ints(read(root, "engine/Ticker.h"))["TICK_MS"]
    screens = {upper("k" + name): int(value) for name, value in
               re.findall(r"(\w+) = (\d+),", section(read(root, "record/GameState.h"), "enum class Screen"))}
    name_chars = ints(read(root, "persistence/StoredName.h"))["NAME_CHARS"]
    messages = {upper(name): text for name, text in TEXT.findall(read(root, "engine/Messages.h"))}
    version = re.search(r"set\(PERNA_VERSION ([^)\s]+)\)", read(root, "cmake/Version.cmake")).group(1)
    keys = key_names(root)

    facts = [
        ("TICK_MS", tick),
        ("SCREEN_WIDTH", surface["CLIENT_WIDTH"]),
        ("SCREEN_HEIGHT", surface["CLIENT_HEIGHT"]),
        ("COMMAND", commands),
        ("SOUND", sounds),
        ("SOUND_IDS", sorted(sounds.values())),
        ("BITMAP", bitmaps),
        ("BITMAP_IDS", catalogue),
        ("SCREEN", screens),
        ("NAME_CHARS", name_chars),
        ("MESSAGE", messages),
        ("VERSION", version),
    ]
    if keys is not None:
        facts.append(("GAME_KEYS", keys))
    lines = ["// Made at build time from the game's C++ headers and cmake/Version.cmake: edit those, not this.",
             "// The facts the page shares with the game, each defined there once."]
    for name, value in facts:
        text = json.dumps(value, ensure_ascii=False)
        if isinstance(value, (dict, list)):
            text = f"Object.freeze({text})"
        lines.append(f"export const {name} = {text};")
    output.parent.mkdir(parents=True, exist_ok=True)
    new = "\n".join(lines) + "\n"
    if not output.exists() or output.read_text(encoding="utf-8") != new:
        output.write_text(new, encoding="utf-8")


if __name__ == "__main__":
    main()
