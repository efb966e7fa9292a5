// The page's pure modules under node's test runner, loaded as written from the build's folder of
// them (PERNA_MODULES), where constants.js is made from the C++ headers; the built site is PERNA_SITE.
import assert from "node:assert/strict";
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import { describe, test } from "node:test";
import { pathToFileURL } from "node:url";
import { findCycle } from "../import_graph.mjs";

const site = process.env.PERNA_SITE;
const load = (name) => import(pathToFileURL(path.join(process.env.PERNA_MODULES, name)).href);
const { fitFor, textSize } = await load("screenfit.js");
const { unpackBitmaps } = await load("bitmappack.js");
const { stepTo } = await load("menukeys.js");
const { keepStorable } = await load("dialogs.js");
const { baseName, quizPath } = await load("files.js");
const { fromBase64, keepSettings, setUpStorage, toBase64 } = await load("storage.js");
const { readQuizFromUrl, requestQuizFile, takeFileRequest } = await load("files.js");
const { afterEachCall, callGame, game } = await load("game.js");
const { keyName, pixelAt } = await load("input.js");
const constants = await load("constants.js");
const { QUIET_MS, quietWatch } = await load("appinstall.js");
const { fetchSiteFile } = await load("sample.js");

// The built site's scripts that perna.js reaches through its imports, and with `later` through
// its dynamic import() calls too.
function builtImports(later) {
  const pattern = later ? /\bfrom\s*"\.\/([^"]+)"|\bimport\s*\(?\s*"\.\/([^"]+)"/g : /\bfrom\s*"\.\/([^"]+)"|\bimport\s*"\.\/([^"]+)"/g;
  const reached = new Set(["perna.js"]);
  for (const name of reached) {
    for (const match of fs.readFileSync(path.join(site, name), "utf8").matchAll(pattern)) {
      reached.add(path.posix.join(path.posix.dirname(name), match[1] || match[2]));
    }
  }
  return reached;
}

describe("the picture's fit", () => {
  test("a phone of 390x844 CSS px at 3 device pixels gets 4 device pixels per game pixel", () => {
    assert.deepEqual(fitFor(390, 844, 3), { device: 4, css: 4 / 3 });
  });
  test("the height limits the scale when the window is wide and low", () => {
    // 2560 wide would allow 10; 1440 high with the menu bar above allows 5.
    assert.deepEqual(fitFor(2560, 1440, 1), { device: 5, css: 5 });
    // Exactly as high as a scale of 2 needs under its bar of 24 px text (268*2 + 34+9 + 8 + 8),
    // and one pixel less.
    assert.equal(fitFor(1000, 595, 1).device, 2);
    assert.equal(fitFor(1000, 594, 1).device, 1);
  });
  test("a window too small for anything still gets one device pixel", () => {
    assert.equal(fitFor(100, 100, 1).device, 1);
    assert.equal(fitFor(0, 0, 2).device, 1);
  });
  test("texts grow with the picture between 14 px and three times 12 px", () => {
    assert.deepEqual([0.5, 1, 4 / 3, 2, 3, 5].map(textSize), [14, 14, 16, 24, 36, 36]);
  });
});

describe("the bitmap pack", () => {
  const record = (id, bytes) => [id & 255, id >> 8, bytes.length, 0, 0, 0, ...bytes];
  test("reads each record's id and bytes in order", () => {
    const pack = new Uint8Array([...record(106, [1, 2, 3]), ...record(0x1234, [9])]).buffer;
    const records = unpackBitmaps(pack).map(({ id, bytes }) => [id, [...bytes]]);
    assert.deepEqual(records, [[106, [1, 2, 3]], [0x1234, [9]]]);
  });
  test("a record cut short keeps what is there and a header cut short ends the list", () => {
    const cut = new Uint8Array([...record(107, [1, 2, 3, 4]).slice(0, 8)]).buffer;
    assert.deepEqual(unpackBitmaps(cut).map(({ id, bytes }) => [id, [...bytes]]), [[107, [1, 2]]]);
    assert.deepEqual(unpackBitmaps(new Uint8Array([1, 0, 0, 0, 0]).buffer), []);
  });
});

describe("menu steps", () => {
  test("wrap around both ends and enter a list at its first or last item", () => {
    assert.deepEqual([stepTo(3, 2, 1), stepTo(3, 0, -1), stepTo(3, 1, 1)], [0, 2, 2]);
    assert.deepEqual([stepTo(4, -1, 1), stepTo(4, -1, -1)], [0, 3]);
  });
});

describe("the name entry", () => {
  const storable = new Uint8Array(0x10000);
  for (const character of "ABCあいう") storable[character.charCodeAt(0)] = 1;
  test("keeps only storable characters, dropping surrogate pairs whole", () => {
    assert.equal(keepStorable("A😀Bé", storable), "AB");
  });
  test("keeps at most the name's length", () => {
    assert.equal(keepStorable("あいう".repeat(5), storable), "あいう".repeat(5).slice(0, constants.NAME_CHARS));
  });
});

describe("quiz file paths", () => {
  test("a name becomes a path of its own under the quiz folder, never outside it", () => {
    assert.equal(quizPath("a.kqd"), "/quiz/a.kqd");
    assert.equal(quizPath("../x/y.kqd"), "/quiz/.._x_y.kqd");
    for (const odd of ["", ".", ".."]) assert.equal(quizPath(odd), "/quiz/quiz.kqd");
    assert.equal(baseName(quizPath("問題.kqd")), "問題.kqd");
  });
});

describe("the settings in storage", () => {
  test("every byte survives the trip through base64", () => {
    const bytes = Uint8Array.from({ length: 256 }, (_, i) => i);
    assert.deepEqual(fromBase64(toBase64(bytes)), bytes);
  });
  test("storage that refuses them is told of once, however often the file changes", () => {
    let file = new Uint8Array([1, 2, 3]);
    game.module = { FS: { readFile: () => file } };
    globalThis.localStorage = { setItem() { throw new Error("quota"); } };
    const told = [];
    setUpStorage((text, caption) => told.push(caption));
    keepSettings();
    file = new Uint8Array([4, 5]);
    keepSettings();
    assert.deepEqual(told, [constants.MESSAGE.SAVE_ERROR_CAPTION]);
  });
});

describe("the open dialog", () => {
  test("the picker answers the game's request once, and a later one is the page's own", () => {
    globalThis.document = { getElementById: () => ({ click() {} }) };
    requestQuizFile();
    assert.equal(takeFileRequest(), true);
    assert.equal(takeFileRequest(), false);
  });
});

describe("the service worker's version", () => {
  const tool = new URL("../../../web/tools/site_assets.py", import.meta.url).pathname;
  const template = new URL("../../../web/site/sw.js.in", import.meta.url).pathname;
  const version = (folder) => {
    const out = path.join(folder, "sw.js");
    const made = spawnSync("python3", [tool, "worker", template, out, folder, path.join(folder, "constants.js"), "a.js"], { encoding: "utf8" });
    assert.equal(made.status, 0, made.stderr);
    return /const VERSION = "([^"]+)"/.exec(fs.readFileSync(out, "utf8"))[1];
  };
  test("changes with the content of a kept file, not only its name", () => {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), "perna-worker-"));
    fs.writeFileSync(path.join(folder, "a.js"), "one");
    const first = version(folder);
    assert.equal(version(folder), first);
    fs.writeFileSync(path.join(folder, "a.js"), "two");
    assert.notEqual(version(folder), first);
    fs.rmSync(folder, { recursive: true, force: true });
  });
  test("keeps every sound and the about box's bitmaps, named by the headers' ids", () => {
    const worker = fs.readFileSync(path.join(site, "sw.js"), "utf8");
    for (const id of constants.SOUND_IDS) assert.ok(worker.includes(`"sounds/${id}.wav"`), `sound ${id}`);
    for (const id of [constants.BITMAP.BAR, constants.BITMAP.LOGO]) assert.ok(worker.includes(`"bitmaps/${id}.bmp"`), `bitmap ${id}`);
  });
  test("keeps every script the page's scripts can import, at once or later", () => {
    const worker = fs.readFileSync(path.join(site, "sw.js"), "utf8");
    const reached = builtImports(true);
    for (const name of ["progress.js", "sheets.js", "fflate.js", "vendor/uPlot.esm.js"]) assert.ok(reached.has(name), name);
    assert.ok([...reached].some((name) => name.startsWith("chunk-")));
    assert.deepEqual([...reached].filter((name) => !worker.includes(`"${name}"`)), []);
  });
});

describe("the bundle", () => {
  const tool = new URL("../../../web/tools/site_assets.py", import.meta.url).pathname;
  const run = (...args) => {
    const made = spawnSync("python3", [tool, ...args], { encoding: "utf8" });
    assert.equal(made.status, 0, made.stderr);
  };
  test("preloads what the first entry imports and takes an earlier bundle's chunks out of the site", () => {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), "perna-bundle-"));
    const [modules, site] = ["modules", "site"].map((name) => path.join(folder, name));
    fs.mkdirSync(modules);
    fs.mkdirSync(site);
    const file = (name, text) => fs.writeFileSync(path.join(folder, name), text);
    file("page.html", '<!-- @MODULES@ --><!-- @FONTS@ --><link rel="stylesheet" href="perna.css"><img src="title.png">');
    file("faces.css", "");
    file("style.css", "body{margin:0}");
    file("title.png", "PNG");
    const listing = path.join(folder, "bundle.json");
    const bundle = (modulesText) => {
      for (const [name, text] of Object.entries(modulesText)) fs.writeFileSync(path.join(modules, name), text);
      run("bundle", "esbuild", modules, listing, "main.js", "lazy.js", "--external:./far.js");
      run("page", path.join(folder, "page.html"), path.join(site, "index.html"), path.join(folder, "faces.css"),
        path.join(folder, "style.css"), path.join(folder, "title.png"), listing);
      return fs.readFileSync(path.join(site, "index.html"), "utf8");
    };
    const shared = 'export const shared = () => "shared";';
    const first = bundle({ "shared.js": shared, "main.js": 'import { shared } from "./shared.js"; shared(); import("./lazy.js");',
      "lazy.js": 'import { shared } from "./shared.js"; shared(); import("./far.js");' });
    const chunks = () => fs.readdirSync(site).filter((name) => /^chunk-.*\.js$/.test(name));
    const [chunk] = chunks();
    assert.ok(chunk && first.includes(`href="main.js"`) && first.includes(`href="${chunk}"`) && !first.includes(`href="lazy.js"`), first);
    assert.ok(first.includes("<style>\nbody{margin:0}\n</style>") && first.includes(`src="data:image/png;base64,${btoa("PNG")}"`));
    bundle({ "shared.js": shared.replace('"shared"', '"changed"') });
    assert.equal(chunks().length, 1);
    assert.notEqual(chunks()[0], chunk);
    fs.rmSync(folder, { recursive: true, force: true });
  });
});

describe("the service worker's start", () => {
  test("waits for an unbroken quiet spell, and not at all once the page is hidden", () => {
    const ready = quietWatch();
    assert.equal(ready(0, true, false), false);
    assert.equal(ready(QUIET_MS - 1, false, false), false);  // something loaded: the spell starts again
    assert.equal(ready(QUIET_MS + 1, true, false), false);
    assert.equal(ready(2 * QUIET_MS + 1, true, false), true);
    assert.equal(quietWatch()(0, false, true), true);
  });
});

describe("the site's files", () => {
  test("the page asks at once for every script its first script imports, chunk after chunk", () => {
    const html = fs.readFileSync(path.join(site, "index.html"), "utf8");
    const preloaded = new Set([...html.matchAll(/<link rel="modulepreload" href="([^"]+)">/g)].map((match) => match[1]));
    const needed = builtImports(false);
    assert.ok(needed.size > 1);
    assert.deepEqual([...needed].filter((name) => !preloaded.has(name)), []);
  });
  test("are fetched once per address, whatever its fragment, and one that fails gives null", async () => {
    const asked = [];
    globalThis.fetch = async (address) => {
      asked.push(address);
      // A missing file's answer still has a body (the server's error page), which is no quiz.
      if (address.endsWith("gone.kqd")) return { ok: false, arrayBuffer: async () => new Uint8Array([60]).buffer };
      if (address.endsWith("down.kqd")) throw new TypeError("offline");
      return { ok: true, arrayBuffer: async () => new Uint8Array([1, 2]).buffer };
    };
    const [first, second] = await Promise.all([fetchSiteFile(new URL("http://site/sample.kqd")),
      fetchSiteFile(new URL("http://site/sample.kqd#again"))]);
    assert.deepEqual([...first], [1, 2]);
    assert.equal(second, first);
    assert.equal(await fetchSiteFile(new URL("http://site/gone.kqd")), null);
    assert.equal(await fetchSiteFile(new URL("http://site/down.kqd")), null);
    assert.deepEqual(asked, ["http://site/sample.kqd", "http://site/gone.kqd", "http://site/down.kqd"]);
  });
  test("a ?quiz= address is fetched only from the page's own site, under its decoded name", async () => {
    globalThis.location = new URL("http://site/index.html?quiz=x");
    let fetches = 0;
    globalThis.fetch = async () => {
      fetches += 1;
      return { ok: true, arrayBuffer: async () => new Uint8Array([7]).buffer };
    };
    const own = await readQuizFromUrl("quizzes/%E5%9C%B0%E7%90%86.kqd");
    assert.deepEqual([own.name, [...own.bytes]], ["地理.kqd", [7]]);
    const foreign = await readQuizFromUrl("http://elsewhere/quiz.kqd");
    assert.deepEqual([foreign.name, foreign.bytes.length, fetches], ["quiz.kqd", 0, 1]);
  });
});

describe("taps", () => {
  const box = { left: 10, top: 20, width: 480, height: 536 };
  test("land on the game pixel under them at the picture's scale", () => {
    assert.deepEqual(pixelAt(box, 10, 20), { x: 0, y: 0 });
    assert.deepEqual(pixelAt(box, 10 + 479.9, 20 + 535.9), { x: 239, y: 267 });
    assert.deepEqual(pixelAt(box, 10 + 3, 20 + 5), { x: 1, y: 2 });
  });
  test("outside the picture are nobody's", () => {
    assert.equal(pixelAt(box, 9.5, 30), null);
    assert.equal(pixelAt(box, 490, 30), null);
    assert.equal(pixelAt(box, 30, 556), null);
  });
});

describe("keys", () => {
  test("are named as the game's table names them, Space by its place", () => {
    const named = [{ key: "ArrowUp", code: "ArrowUp" }, { key: " ", code: "Space" }, { key: "3", code: "Numpad3" },
      { key: "Enter", code: "NumpadEnter" }].map(keyName);
    assert.deepEqual(named, ["ArrowUp", "Space", "3", "Enter"]);
    assert.deepEqual(named.map((name) => constants.GAME_KEYS[name]), [0x26, 0x0d, 0x33, 0x0d]);
  });
});

describe("calls into the game", () => {
  test("wait until the game is ready, then run with their paint and the page's upkeep after them", () => {
    const done = [];
    afterEachCall(() => done.push("upkeep"));
    game.ready = false;
    callGame(() => done.push("call"));
    assert.deepEqual(done, []);
    game.ready = true;
    game.module = { _pp_web_take_paint_request: () => 1, _pp_web_paint: () => done.push("paint"), FS: { readFile: () => null } };
    callGame(() => done.push("call"));
    assert.deepEqual(done, ["call", "paint", "upkeep"]);
    game.ready = false;
  });
});

describe("the import check", () => {
  test("finds a cycle and only a cycle", () => {
    assert.deepEqual(findCycle(new Map([["a.js", ["b.js"]], ["b.js", ["c.js"]], ["c.js", ["a.js"]]])),
      ["a.js", "b.js", "c.js", "a.js"]);
    assert.equal(findCycle(new Map([["a.js", ["b.js", "c.js"]], ["b.js", ["c.js"]], ["c.js", []]])), null);
  });
});

describe("the font's pieces", () => {
  // The build's own split of code page 932 over the pieces, their unicode-range texts parsed back.
  const tool = new URL("../../../web/tools/", import.meta.url).pathname;
  const made = spawnSync("python3", ["-c", `
import json, sys
sys.path.insert(0, ${JSON.stringify(tool)})
import site_assets
characters = site_assets.cp932_characters()
pieces = site_assets.font_pieces(characters, "/usr/share/unicode")
print(json.dumps({"characters": characters, "pieces": pieces,
                  "ranges": [site_assets.unicode_ranges(piece, characters) for piece in pieces]}))`], { encoding: "utf8" });
  const split = made.status === 0 ? JSON.parse(made.stdout) : null;
  const spans = split ? split.ranges.map((text) => text.split(",").map((span) => {
    const [from, to = from] = span.slice(2).split("-").map((hex) => parseInt(hex, 16));
    return [from, to];
  })) : [];
  const pieceOf = new Map(split ? split.pieces.flatMap((piece, index) => piece.map((point) => [point, index])) : []);

  test("every character is in exactly one piece, and in no other piece's ranges", () => {
    assert.ok(split, made.stderr);
    assert.equal(split.pieces.flat().length, split.characters.length);
    assert.equal(pieceOf.size, split.characters.length);
    for (const point of split.characters) {
      const claiming = spans.flatMap((ranges, index) => (ranges.some(([from, to]) => from <= point && point <= to) ? [index] : []));
      assert.deepEqual(claiming, [pieceOf.get(point)], `U+${point.toString(16)}`);
    }
  });

  test("the first piece holds what any sentence needs besides its kanji, the next the commonest kanji", () => {
    const piece = (character) => pieceOf.get(character.codePointAt(0));
    for (const character of "A9 あン、。々「」ー…→○×ｱＡ") assert.equal(piece(character), 0, character);
    for (const character of "日人年") assert.equal(piece(character), 1, character);
    assert.ok(piece("鰯") > 2);
    // The commonest kanji come with the first screens, so their piece stays small.
    assert.ok(split.pieces[1].length < 1000, `${split.pieces[1].length} characters`);
  });
});
