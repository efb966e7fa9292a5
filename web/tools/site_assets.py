#!/usr/bin/python3
"""Makes the page's derived files at build time.

  font SOURCE.ttf OUT.woff2          the font cut down to what code page 932 holds, as WOFF2
  bitmaps OUT.pack BMP...            the game's bitmaps in one file, fetched in one request
  worker TEMPLATE OUT SITE FILE...   the service worker, naming the files it keeps and their version;
                                     a FILE such as sounds/{SOUND_IDS}.wav or bitmaps/{BITMAP.BAR}.bmp
                                     takes its ids from the site's constants.js, one file for each
  title STEPS OUT.png BITMAPS CONVERT  the title's picture from the painter's steps, composed
                                     with ImageMagick's convert from the bitmaps folder
  page TEMPLATE OUT MODULE...        index.html, asking for every module at once instead of one
                                     level of imports after another
"""
import hashlib
import json
import os
import re
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


def make_font(source, out):
    from fontTools import subset  # python3-fonttools; WOFF2 needs python3-brotli too

    options = subset.Options()
    options.flavor = "woff2"
    font = subset.load_font(source, options)
    subsetter = subset.Subsetter(options)
    subsetter.populate(unicodes=cp932_characters())
    subsetter.subset(font)
    subset.save_font(font, out + ".part", options)
    os.replace(out + ".part", out)


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


def make_worker(template, out, site, files):
    """The version is a digest of every kept file, so any change of them makes a new worker."""
    files = expand_names(files, os.path.join(site, "constants.js"))
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


def make_page(template, out, modules):
    with open(template, encoding="utf-8") as source:
        text = source.read()
    hints = "\n".join('<link rel="modulepreload" href="%s">' % name for name in modules)
    text = text.replace("<!-- @MODULES@ -->", hints)
    with open(out + ".part", "w", encoding="utf-8") as page:
        page.write(text)
    os.replace(out + ".part", out)


def main(arguments):
    if len(arguments) >= 3 and arguments[0] == "font":
        make_font(arguments[1], arguments[2])
    elif len(arguments) >= 2 and arguments[0] == "bitmaps":
        make_bitmap_pack(arguments[1], arguments[2:])
    elif len(arguments) >= 4 and arguments[0] == "worker":
        make_worker(arguments[1], arguments[2], arguments[3], arguments[4:])
    elif len(arguments) == 5 and arguments[0] == "title":
        make_title(*arguments[1:])
    elif len(arguments) >= 3 and arguments[0] == "page":
        make_page(arguments[1], arguments[2], arguments[3:])
    else:
        sys.stderr.write(__doc__)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
