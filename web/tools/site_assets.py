#!/usr/bin/python3
"""Makes the page's derived files at build time.

  fonts SOURCE.ttf FOLDER UNIHAN FACES.css  the font cut down to what code page 932 holds, as a
                                     few WOFF2 pieces in FOLDER, and their @font-face rules
  bitmaps OUT.pack BMP...            the game's bitmaps in one file, fetched in one request
  worker TEMPLATE OUT SITE CONSTANTS FILE...  the service worker, naming the files it keeps and
                                     their version; a FILE such as sounds/{SOUND_IDS}.wav or
                                     bitmaps/{BITMAP.BAR}.bmp takes its ids from CONSTANTS (the
                                     generated constants.js), one file for each; @LIST the bundle's
  title STEPS OUT.png BITMAPS CONVERT  the title's picture from the painter's steps, composed
                                     with ImageMagick's convert from the bitmaps folder
  bundle ESBUILD MODULES LIST ENTRY... [--external:NAME]...
                                     the page's modules in MODULES bundled by esbuild, one script
                                     for each ENTRY and the chunks they share; LIST names them and
                                     which of them the first entry needs before it runs
  page TEMPLATE OUT FACES STYLE TITLE LIST  index.html with the font's rules, the style and the
                                     title's picture inline and the first entry's scripts preloaded,
                                     and the bundle's scripts beside it
"""
import base64
import hashlib
import json
import os
import re
import shutil
import struct
import subprocess
import sys


def cp932_characters():
    """Every character a code page 932 byte sequence decodes to: what a quiz or name can hold."""
    found = set()
    sequences = [bytes([b]) for b in range(0x100)]
    for lead in list(range(0x81, 0xA0)) + list(range(0xE0, 0xFD)):
        sequences += [bytes([lead, trail]) for trail in range(0x40, 0x100)]
    for sequence in sequences:
        try:
            text = sequence.decode("cp932")
        except UnicodeDecodeError:
            continue
        if len(text) == 1 and ord(text) >= 0x20:
            found.add(ord(text))
    return sorted(found)


FONT_FAMILY = "VL Gothic Web"
FONT_STEM = "VL-Gothic-Regular"
# Kana, Latin letters, digits and punctuation in their half- and full-width forms, arrows and the
# marks of ○× quizzes: every text needs them.
BASIC_SPANS = [(0x20, 0xFF), (0x2000, 0x206F), (0x2190, 0x21FF), (0x25A0, 0x26FF), (0x3000, 0x30FF), (0xFF00, 0xFFEF)]
RARE_PIECES = 3


def unihan_field(archive, name):
    """The values of one field of a Unihan file (unicode-data's .txt.bz2), by code point."""
    import bz2

    values = {}
    with bz2.open(archive, "rt", encoding="utf-8") as lines:
        for line in lines:
            if line.startswith("U+"):
                point, key, value = line.rstrip("\n").split("\t", 2)
                if key == name:
                    values[int(point[2:], 16)] = value
    return values


def font_pieces(characters, unihan):
    """Code page 932's characters in the order a page needs them: the basics every screen shows,
    the commonest kanji, the other everyday kanji, the rarer ones in a few pieces by code point,
    and last the symbols quizzes seldom hold (Greek, Cyrillic, box drawing, circled numbers)."""
    import unicodedata

    joyo = unihan_field(os.path.join(unihan, "Unihan_OtherMappings.txt.bz2"), "kJoyoKanji")
    frequency = unihan_field(os.path.join(unihan, "Unihan_DictionaryLikeData.txt.bz2"), "kFrequency")
    # A variant form's entry names its standard character instead of a year.
    joyo = {point for point, value in joyo.items() if not value.startswith("U+")}
    # Kanji only: the ideographic comma, full stop and iteration mark are punctuation of every text.
    ideographs = [c for c in characters if unicodedata.name(chr(c), "").startswith(("CJK UNIFIED", "CJK COMPATIBILITY"))]
    ideograph_set = set(ideographs)
    basic = [c for c in characters if c not in ideograph_set and any(a <= c <= b for a, b in BASIC_SPANS)]
    symbols = [c for c in characters if c not in ideograph_set and c not in set(basic)]
    common = [c for c in ideographs if c in joyo and frequency.get(c, "9") <= "3"]
    everyday = [c for c in ideographs if c in joyo and c not in set(common)]
    rare = [c for c in ideographs if c not in joyo]
    size = -(-len(rare) // RARE_PIECES)
    return [basic, common, everyday] + [rare[i:i + size] for i in range(0, len(rare), size)] + [symbols]


def unicode_ranges(piece, characters):
    """`piece` as CSS unicode-range spans; a span may cover code points no piece holds, never another piece's."""
    ordered = sorted(characters)
    place = {c: i for i, c in enumerate(ordered)}
    spans = []
    for c in sorted(piece):
        if spans and place[c] == place[spans[-1][1]] + 1:
            spans[-1][1] = c
        else:
            spans.append([c, c])
    return ",".join("U+%X" % a if a == b else "U+%X-%X" % (a, b) for a, b in spans)


def make_fonts(source, folder, unihan, faces_out):
    from fontTools import subset  # python3-fonttools; WOFF2 needs python3-brotli too

    characters = cp932_characters()
    rules = []
    for number, piece in enumerate(font_pieces(characters, unihan)):
        options = subset.Options()
        options.flavor = "woff2"
        font = subset.load_font(source, options)
        subsetter = subset.Subsetter(options)
        subsetter.populate(unicodes=piece)
        subsetter.subset(font)
        name = "%s.%d.woff2" % (FONT_STEM, number)
        subset.save_font(font, os.path.join(folder, name + ".part"), options)
        os.replace(os.path.join(folder, name + ".part"), os.path.join(folder, name))
        # Swapped in when it comes, so menus and dialogs never wait blank for a piece.
        rules.append('@font-face{font-family:"%s";src:url(fonts/%s) format("woff2");font-display:swap;'
                     "unicode-range:%s}" % (FONT_FAMILY, name, unicode_ranges(piece, characters)))
    with open(faces_out + ".part", "w", encoding="utf-8") as faces:
        faces.write("\n".join(rules) + "\n")
    os.replace(faces_out + ".part", faces_out)


def make_bitmap_pack(out, files):
    """Records of [id: uint16 LE][length: uint32 LE][the BMP file's bytes], in the order given."""
    with open(out + ".part", "wb") as pack:
        for name in files:
            with open(name, "rb") as bitmap:
                data = bitmap.read()
            pack.write(struct.pack("<HI", int(os.path.splitext(os.path.basename(name))[0]), len(data)))
            pack.write(data)
    os.replace(out + ".part", out)


def read_constants(path):
    """The facts of the generated constants.js, by name: `export const NAME = VALUE;` lines."""
    facts = {}
    with open(path, encoding="utf-8") as source:
        for line in source:
            found = re.match(r"export const (\w+) = (?:Object\.freeze\((.*)\)|(.*));$", line.strip())
            if found:
                facts[found.group(1)] = json.loads(found.group(2) or found.group(3))
    return facts


def expand_names(files, constants):
    """File names with {FACT} or {FACT.KEY} replaced by the fact's value, or one name for each
    value of a list, so that the ids are written only in the headers constants.js comes from."""
    facts = None
    names = []
    for name in files:
        found = re.search(r"\{(\w+)(?:\.(\w+))?\}", name)
        if not found:
            names.append(name)
            continue
        if facts is None:
            facts = read_constants(constants)
        if found.group(1) not in facts:
            raise SystemExit("worker: %s names no fact of %s" % (name, constants))
        value = facts[found.group(1)]
        if found.group(2):
            value = value[found.group(2)]
        for item in value if isinstance(value, list) else [value]:
            names.append(name[:found.start()] + str(item) + name[found.end():])
    return names


def make_worker(template, out, site, constants, files):
    """The version is a digest of every kept file, so any change of them makes a new worker.
    A FILE of @LIST stands for the scripts the bundle wrote (not their source maps)."""
    scripts = lambda listing: [name for name in bundle_names(listing, "written") if name.endswith(".js")]
    files = [name for entry in files for name in (scripts(entry[1:]) if entry.startswith("@") else [entry])]
    files = expand_names(files, constants)
    digest = hashlib.sha256()
    for name in files:
        with open(os.path.join(site, name), "rb") as kept:
            digest.update(name.encode() + b"\0" + hashlib.sha256(kept.read()).digest())
    with open(template, encoding="utf-8") as source:
        text = source.read()
    listed = ",\n  ".join('"%s"' % name for name in ["./"] + list(files))
    text = text.replace('"@VERSION@"', '"%s"' % digest.hexdigest()[:16]).replace('"@FILES@"', listed)
    with open(out + ".part", "w", encoding="utf-8") as worker:
        worker.write(text)
    os.replace(out + ".part", out)


def make_title(steps, out, bitmaps, convert):
    """Erasures fill white, bitmaps are laid at their places, in the painter's order."""
    command = [convert, "-size", "240x268", "xc:white", "-fill", "white"]
    with open(steps, encoding="utf-8") as lines:
        for line in lines:
            words = line.split()
            if words[0] == "erase":
                left, top, width, height = map(int, words[1:])
                if width > 0 and height > 0:
                    command += ["-draw", "rectangle %d,%d %d,%d" % (left, top, left + width - 1, top + height - 1)]
            elif words[0] == "bitmap":
                number, x, y = map(int, words[1:])
                command += [os.path.join(bitmaps, "%d.bmp" % number), "-geometry", "%+d%+d" % (x, y), "-composite"]
            else:
                raise SystemExit("title: unknown step " + line)
    subprocess.run(command + ["-strip", "PNG8:" + out + ".part"], check=True)
    os.replace(out + ".part", out)


def make_bundle(esbuild, modules, listing, arguments):
    """A page of a few files rather than one request per module: over HTTP/1.1 a phone would
    wait for its six connections to fetch twenty modules one level of imports after another."""
    entries = [name for name in arguments if not name.startswith("--")]
    externals = [name for name in arguments if name.startswith("--external:")]
    out = listing + ".d"
    if os.path.isdir(out):
        for name in os.listdir(out):
            os.remove(os.path.join(out, name))
    meta = listing + ".meta.json"
    command = [esbuild, *entries, "--bundle", "--splitting", "--format=esm", "--minify", "--sourcemap",
               "--log-level=warning", "--outdir=" + out, "--entry-names=[name]", "--chunk-names=chunk-[hash]",
               "--metafile=" + meta] + externals
    subprocess.run(command, check=True, cwd=modules)
    with open(meta, encoding="utf-8") as source:
        outputs = json.load(source)["outputs"]
    base = os.path.relpath(out, modules)
    name_of = lambda output: os.path.relpath(os.path.join(modules, output), out)
    # What the first entry imports before it runs, chunk after chunk, to be asked for at once.
    needed, queue = [], [entries[0]]
    while queue:
        name = queue.pop(0)
        if name in needed:
            continue
        needed.append(name)
        queue += [name_of(item["path"]) for item in outputs[os.path.join(base, name)]["imports"]
                  if item["kind"] == "import-statement"]
    written = sorted(name_of(output) for output in outputs)
    with open(listing + ".part", "w", encoding="utf-8") as target:
        json.dump({"folder": out, "written": written, "preload": needed}, target, indent=1)
    os.replace(listing + ".part", listing)


def place_bundle(listing, site):
    """The bundle's files into the site, and those of an earlier bundle out of it, so that a
    chunk renamed by a change of the code is not left behind for the worker to keep."""
    with open(listing, encoding="utf-8") as source:
        bundle = json.load(source)
    placed = listing + ".placed"
    if os.path.exists(placed):
        with open(placed, encoding="utf-8") as source:
            for name in set(json.load(source)) - set(bundle["written"]):
                if os.path.exists(os.path.join(site, name)):
                    os.remove(os.path.join(site, name))
    for name in bundle["written"]:
        shutil.copyfile(os.path.join(bundle["folder"], name), os.path.join(site, name))
    with open(placed, "w", encoding="utf-8") as target:
        json.dump(bundle["written"], target)


def bundle_names(listing, key):
    with open(listing, encoding="utf-8") as source:
        return json.load(source)[key]


def put(text, mark, value):
    """The template's mark replaced, or the build stopped: a renamed mark must not go unnoticed."""
    if mark not in text:
        raise SystemExit("page: the template has no %s" % mark)
    return text.replace(mark, value)


def make_page(template, out, faces, style, title, listing):
    with open(template, encoding="utf-8") as source:
        text = source.read()
    hints = "\n".join('<link rel="modulepreload" href="%s">' % name for name in bundle_names(listing, "preload"))
    text = put(text, "<!-- @MODULES@ -->", hints)
    # Inline, so the browser knows which piece each character is in without another round trip.
    with open(faces, encoding="utf-8") as rules:
        text = put(text, "<!-- @FONTS@ -->", "<style>\n%s</style>" % rules.read())
    # The style and the title's picture inline: the title is drawn with the page itself, its
    # first paint waiting on no request queued behind the scripts and the game's module.
    with open(style, encoding="utf-8") as rules:
        text = put(text, '<link rel="stylesheet" href="perna.css">', "<style>\n%s\n</style>" % rules.read().strip())
    with open(title, "rb") as picture:
        text = put(text, 'src="title.png"', 'src="data:image/png;base64,%s"' % base64.b64encode(picture.read()).decode())
    place_bundle(listing, os.path.dirname(out))
    with open(out + ".part", "w", encoding="utf-8") as page:
        page.write(text)
    os.replace(out + ".part", out)


def main(arguments):
    if len(arguments) == 5 and arguments[0] == "fonts":
        make_fonts(*arguments[1:])
    elif len(arguments) >= 2 and arguments[0] == "bitmaps":
        make_bitmap_pack(arguments[1], arguments[2:])
    elif len(arguments) >= 5 and arguments[0] == "worker":
        make_worker(arguments[1], arguments[2], arguments[3], arguments[4], arguments[5:])
    elif len(arguments) >= 5 and arguments[0] == "bundle":
        make_bundle(arguments[1], arguments[2], arguments[3], arguments[4:])
    elif len(arguments) == 5 and arguments[0] == "title":
        make_title(*arguments[1:])
    elif len(arguments) == 7 and arguments[0] == "page":
        make_page(*arguments[1:])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
