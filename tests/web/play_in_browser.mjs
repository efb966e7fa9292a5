// Plays the static web folder in Debian's headless Chromium: the title picture, a quiz opened
// from the menu under the real clock, then a whole game under a fixed seed and a clock the test
// turns, with one answer by tap and one by key, the judgement mark, the name dialog, the ranking
// after a reload, and a downloaded settings file compared byte for byte with the one quiz-replay
// writes for the same events. After the game: the title's restart, the missed questions and
// their review run, a number key, the pause, the lists and last quiz file after a reload, and a
// stubbed game pad. Prints the size and time-to-title budgets.
//
// Usage: node play_in_browser.mjs SITE QUIZ-REPLAY NODE-MODULES-DIR OUTPUT-DIR
import { spawnSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import zlib from "node:zlib";

import { check, runInBrowser, serve, sleep, waitFor } from "./harness.mjs";

const [site, quizReplay, modulesDir, outDir] = process.argv.slice(2);

const SIZE_BUDGET = 1024 * 1024;
const SEED = 7;
const PLAYER_TYPED = "テスト😀花子ABCDEFGH";  // an emoji the file cannot hold, and too long
const PLAYER_KEPT = "テスト花子ABCDE";
const RIGHT_COLOUR = [50, 150, 255];
const choiceRowMiddle = (row) => ({ x: 123, y: 30 + 35 * row + 15 });

// The logical picture as the canvas holds it: a pixel's colour at (x, y) of the 240 x 268 picture.
async function pixels(page, points) {
  return page.evaluate((points) => {
    const canvas = document.getElementById("screen");
    const scale = canvas.width / 240;
    const context = canvas.getContext("2d");
    return points.map(([x, y]) => Array.from(context.getImageData(x * scale + scale / 2, y * scale + scale / 2, 1, 1).data.slice(0, 3)));
  }, points);
}

// True when the canvas shows bitmap `id` at (x, y), sampled on a grid, down to `rows` rows of it.
async function showsBitmap(page, id, x, y, rows = Infinity) {
  return page.evaluate(async (id, x, y, rows) => {
    const image = await createImageBitmap(await (await fetch(`bitmaps/${id}.bmp`)).blob());
    const reference = new OffscreenCanvas(image.width, image.height).getContext("2d");
    reference.drawImage(image, 0, 0);
    const canvas = document.getElementById("screen");
    const scale = canvas.width / 240;
    const shown = canvas.getContext("2d");
    for (let j = 0; j < Math.min(rows, image.height); j += 3) {
      for (let i = 0; i < image.width; i += 3) {
        const want = reference.getImageData(i, j, 1, 1).data;
        const have = shown.getImageData((x + i) * scale, (y + j) * scale, 1, 1).data;
        if (want[0] !== have[0] || want[1] !== have[1] || want[2] !== have[2]) return false;
      }
    }
    return true;
  }, id, x, y, rows);
}

// How many pixels of the judgement square (50, 60) - (210, 220) have `colour`, sampled every 4.
async function markPixels(page, colour) {
  const points = [];
  for (let y = 60; y < 220; y += 4) for (let x = 50; x < 210; x += 4) points.push([x, y]);
  const found = await pixels(page, points);
  return found.filter((p) => p.every((v, i) => Math.abs(v - colour[i]) <= 8)).length;
}

const state = (page) => page.evaluate(() => perna.state());

// The page under test, with every event it is given written down as a quiz-replay script line.
class Player {
  constructor(page) {
    this.page = page;
    this.script = [];
  }
  async ticks(count) {
    await this.page.evaluate((count) => perna.tick(count), count);
    this.script.push(`tick ${count}`);
  }
  async tickUntil(screen, limit = 200) {
    let count = 0;
    while ((await state(this.page)).screen !== screen) {
      if (++count > limit) throw new Error(`never reached ${screen}`);
      await this.page.evaluate(() => perna.tick(1));
    }
    if (count > 0) this.script.push(`tick ${count}`);
  }
  async tap(x, y) {
    const box = await (await this.page.$("#screen")).boundingBox();
    const scale = box.width / 240;
    await this.page.mouse.click(box.x + (x + 0.5) * scale, box.y + (y + 0.5) * scale);
    this.script.push(`tap ${x} ${y}`);
  }
  async key(name, scriptName) {
    await this.page.keyboard.press(name);
    this.script.push(`key ${scriptName}`);
  }
  async menu(menuId, commandId) {
    await menu(this.page, menuId, commandId);
  }
}

async function menu(page, menuId, commandId) {
  await page.click(`#command-${menuId}`);
  await page.click(`#command-${commandId}`);
}

async function newPage(browser, viewport) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  page.on("pageerror", (error) => check(false, `no error on the page: ${error.message}`));
  return page;
}

async function main() {
  fs.mkdirSync(outDir, { recursive: true });
  const wasm = fs.readFileSync(path.join(site, "pocketperna.wasm"));
  const js = fs.readFileSync(path.join(site, "pocketperna.js"));
  const gzipped = zlib.gzipSync(wasm, { level: 9 }).length + zlib.gzipSync(js, { level: 9 }).length;
  console.log(`budget: pocketperna.wasm + pocketperna.js = ${wasm.length + js.length} bytes, ${gzipped} bytes gzipped (at most ${SIZE_BUDGET})`);
  check(gzipped <= SIZE_BUDGET, "the module and its script are at most 1 MB gzipped");

  await runInBrowser(site, modulesDir, async (browser, origin) => {
    await firstVisit(browser, origin);
    const player = await wholeGame(browser, origin);
    await afterReload(browser, origin, player);
    await withGamePad(browser, origin);
    await onPhone(browser, origin);
    await onLargeScreen(browser, origin);
    await latePieceOfFont(browser, origin);
    await asApp(browser);
  });
}

// The title under the real clock, then a quiz chosen with the file picker, played by the clock.
async function firstVisit(browser, origin) {
  const page = await newPage(browser, { width: 500, height: 620 });
  // The font is held back until the title has been seen: the title must not wait for it.
  let releaseFont = null;
  const fontHeld = new Promise((resolve) => { releaseFont = resolve; });
  await page.setRequestInterception(true);
  page.on("request", (request) => {
    if (request.url().endsWith(".woff2")) fontHeld.then(() => request.continue());
    else request.continue();
  });
  const started = Date.now();
  await page.goto(`${origin}/index.html`, { waitUntil: "domcontentloaded" });
  await waitFor("the title", () => showsBitmap(page, 134, 0, 100));
  const seen = Date.now() - started;
  const painted = await page.evaluate(() => perna.titleShownAt);
  console.log(`budget: title painted ${Math.round(painted)} ms after navigation; seen by the test after ${seen} ms (target 1000 ms)`);
  check(await showsBitmap(page, 125, 104, 60), "the title shows the first level's character");
  // The picture shown before the module came is the one the game paints over it.
  const differing = await page.evaluate(async () => {
    const image = new Image();
    image.src = document.getElementById("title-picture").src;
    await image.decode();
    const flat = document.createElement("canvas");
    flat.width = 240;
    flat.height = 268;
    const ink = flat.getContext("2d");
    ink.drawImage(image, 0, 0);
    const early = ink.getImageData(0, 0, 240, 268).data;
    const screen = document.getElementById("screen");
    const scale = screen.width / 240;
    const painted = screen.getContext("2d").getImageData(0, 0, screen.width, screen.height).data;
    let count = 0;
    for (let y = 0; y < 268; ++y) {
      for (let x = 0; x < 240; ++x) {
        const at = (y * 240 + x) * 4, there = ((y * scale) * screen.width + x * scale) * 4;
        if ([0, 1, 2].some((c) => early[at + c] !== painted[there + c])) ++count;
      }
    }
    return count;
  });
  check(differing === 0, `the title's early picture is the game's own title before the font (${differing} pixels differ)`);
  const scale = await page.evaluate(() => document.getElementById("screen").width / 240);
  check(scale === 2, `a 500 x 620 window shows the picture at the whole scale 2 (${scale})`);
  check(await page.$eval("#loading", (sign) => !sign.hidden), "the title shows before the font, with the progress sign");
  check(await page.$eval("#sample-hint", (hint) => hint.style.visibility === "visible" && hint.innerText.includes("サンプル問題")),
    "a first visit's title offers the sample");
  const tapAt = await (await page.$("#screen")).boundingBox();
  await page.mouse.click(tapAt.x + tapAt.width / 2, tapAt.y + tapAt.height / 2);
  releaseFont();
  await page.evaluate(() => perna.ready);
  check((await state(page)).screen === "QuestionIntro", "one tap on a first visit's title, given before the font came, starts the sample");
  await waitFor("the first question under the real clock", async () => (await state(page))?.screen === "Answering", 20000);
  check(await page.$eval("#sample-hint", (hint) => hint.style.visibility === "hidden"), "once a quiz is kept the title no longer offers the sample");
  check(await page.$eval("#command-40013", (item) => item.disabled), "ランキング表示... is greyed out during a game");
  // The picker is caught only once the browser has said it will: a session of its own can wait for that.
  const session = await page.createCDPSession();
  await session.send("Page.enable");
  await session.send("Page.setInterceptFileChooserDialog", { enabled: true });
  const picked = new Promise((resolve) => session.once("Page.fileChooserOpened", resolve));
  await menu(page, 40004, 40007);
  check(await Promise.race([picked.then(() => true), sleep(5000).then(() => false)]), "開く... shows the file picker");
  await session.send("Page.setInterceptFileChooserDialog", { enabled: false });
  await session.detach();
  fs.copyFileSync(path.join(site, "sample.kqd"), path.join(outDir, "sample.kqd"));
  const [chooser] = await Promise.all([page.waitForFileChooser(), menu(page, 40004, 40007)]);
  await chooser.accept([path.join(outDir, "sample.kqd")]);
  await waitFor("the chosen quiz", async () => (await state(page))?.screen === "QuestionIntro", 5000);
  await waitFor("its first question under the real clock", async () => (await state(page))?.screen === "Answering", 20000);
  check(true, "a quiz file chosen with 開く... plays by the real clock");
  check(await page.$$eval("#recent-items button", (items) => items.map((item) => item.textContent).join("|")) === "1 sample.kqd",
    "the sample opened again from the picker is listed once in 最近使ったファイル");
  await page.keyboard.press("ArrowDown");
  await page.screenshot({ path: path.join(outDir, "web.png") });
  await page.close();
}

// A whole game at phone width under a fixed seed: right by tap, right by key, wrong after that.
async function wholeGame(browser, origin) {
  const page = await newPage(browser, { width: 360, height: 720, deviceScaleFactor: 2 });
  const player = new Player(page);
  let sampleFetches = 0;
  page.on("request", (request) => { if (new URL(request.url()).pathname.endsWith("/sample.kqd")) sampleFetches += 1; });
  await page.goto(`${origin}/index.html?seed=${SEED}&clock=manual&quiz=sample.kqd`);
  await page.evaluate(() => perna.ready);
  await waitFor("the quiz from ?quiz=", async () => (await state(page)).screen === "QuestionIntro");
  check(sampleFetches === 1, `?quiz=sample.kqd and the title's sample share one fetch (${sampleFetches})`);
  player.script.push(`name ${PLAYER_KEPT}`, "open sample.kqd");
  check(await page.evaluate(() => document.getElementById("screen").style.width) === "240px",
    "a phone-wide page shows the picture at scale 1");

  await player.menu(40009, 40012);
  await page.click("#settings-1004");
  await page.click("#settings-ok");
  await waitFor("the settings dialog to close", () => page.evaluate(() => perna.dialogsOpen() === 0));
  player.script.push("settings reveal=0");

  await player.tickUntil("Answering");
  let now = await state(page);
  const row = now.correctPosition + 1;
  await player.tap(choiceRowMiddle(row).x, choiceRowMiddle(row).y);
  await player.tap(choiceRowMiddle(row).x, choiceRowMiddle(row).y);
  await player.ticks(1);
  check((await state(page)).screen === "Judging", "a second tap on the right row is judged");
  check(await markPixels(page, RIGHT_COLOUR) > 40, "the blue circle of a right answer shows");
  await player.tickUntil("QuestionIntro");

  await player.tickUntil("Answering");
  now = await state(page);
  while ((await state(page)).selection !== now.correctPosition + 1) await player.key("ArrowDown", "down");
  await player.key("Enter", "return");
  await player.ticks(1);
  check((await state(page)).score > 0 && (await state(page)).screen === "Judging", "Return on the highlighted right row scores");

  for (let question = 3; question <= 8; ++question) {
    await player.tickUntil("Answering");
    now = await state(page);
    const wrong = now.correctPosition === 0 ? 2 : 1;
    await player.tap(choiceRowMiddle(wrong).x, choiceRowMiddle(wrong).y);
    await player.tap(choiceRowMiddle(wrong).x, choiceRowMiddle(wrong).y);
    if (question === 3) {
      await player.ticks(1);
      check(await markPixels(page, [255, 0, 0]) > 40, "the red cross of a wrong answer shows");
    }
    if (question < 8) await player.tickUntil("QuestionIntro");
  }
  // The eighth miss ends the level short of its quota: the name dialog opens over the game.
  let count = 0;
  while (!(await page.evaluate(() => perna.waiting()))) {
    if (++count > 200) throw new Error("the name dialog never opened");
    await page.evaluate(() => perna.tick(1));
  }
  player.script.push(`tick ${count}`);
  check(await page.$eval("#name-dialog", (dialog) => dialog.open), "the name dialog opens when the score enters the ranking");
  // A wider window meanwhile: the picture before the results stays as it is until the name is given.
  const canvasWidth = () => page.$eval("#screen", (canvas) => canvas.width);
  const before = await canvasWidth();
  await page.setViewport({ width: 800, height: 720, deviceScaleFactor: 2 });
  await sleep(100);
  check(await canvasWidth() === before, "the picture behind the name dialog keeps its size");
  await page.keyboard.press("Enter");
  check(await page.$eval("#name-dialog", (dialog) => dialog.open), "a Return at once, meant for the game, leaves the dialog open");
  await sleep(450);  // past the guard that keeps a Return meant for the game from confirming it
  await page.keyboard.type(PLAYER_TYPED);
  check(await page.$eval("#name-1006", (edit) => edit.value) === PLAYER_KEPT,
    "the name keeps ten characters the file can hold");
  await page.keyboard.press("Enter");
  await waitFor("the game to take the name", async () => !(await page.evaluate(() => perna.waiting())));
  await sleep(100);  // the paint that asked for the name ends after the dialog's own call
  now = await state(page);
  check(now.screen === "GameOver", `the game is over after the name (${now.screen})`);
  check(await canvasWidth() === 2 * before, "once the name is given the picture takes the wider window's scale");
  await page.setViewport({ width: 360, height: 720, deviceScaleFactor: 2 });
  check(now.ranking[0].name === PLAYER_KEPT && now.ranking[0].score === now.score, "the name and score top the ranking");
  player.finalScore = now.score;
  await savedGame(page);
  await afterGame(page);
  await page.close();
  return player;
}

// Whether the page shows its pause veil, and the clock as the game counts it.
const paused = (page) => page.evaluate(() => perna.paused());
const clock = async (page) => { const now = await state(page); return `${now.screen} ${now.tickCount} ${now.timeLeft}`; };

async function tickUntil(page, screen, limit = 200) {
  for (let count = 0; (await state(page)).screen !== screen; ++count) {
    if (count > limit) throw new Error(`never reached ${screen}`);
    await page.evaluate(() => perna.tick(1));
  }
}

// Past the settings file's events: the title starts again on Return, the misses make a review
// run through the menu and the dialog's button, a number key answers, and a dialog stops the clock.
async function afterGame(page) {
  const taps = new Player(page);
  await taps.tap(120, 130);
  await taps.tap(120, 130);
  check((await state(page)).screen === "Title", "two taps go from the results through the ranking to the title");
  await page.keyboard.press("Enter");
  check((await state(page)).screen === "QuestionIntro", "Return on the title starts a new game on the quiz file opened last");

  await page.click("#command-40009");
  check(await page.$eval("#command-40014", (item) => !item.disabled), "間違えた問題... is offered after a game with misses");
  await page.click("#command-40014");
  await waitFor("the missed-questions dialog", () => page.$eval("#missed-dialog", (dialog) => dialog.open));
  const rows = await page.$$eval("#missed tbody tr", (lines) => lines.map((line) => Array.from(line.cells, (cell) => cell.textContent)));
  // Six wrong answers, six questions: with "同じ問題を出さない" on, as it is at first, none comes twice.
  check(rows.length === 6 && rows.every(([genre, question, given, right]) => genre && question && given && right && given !== right),
    `the dialog lists the wrong answers with genre, question, answer given and right answer (${rows.length} rows)`);
  await page.click("#command-40015");
  await waitFor("the review run", async () => (await state(page)).review === rows.length);
  check((await state(page)).screen === "QuestionIntro", "この問題で復習する starts a review run over those questions");

  await tickUntil(page, "Answering");
  const question = await state(page);
  const choice = question.correctPosition === 2 ? 4 : 3;
  await page.keyboard.press(String(choice));
  const answered = await state(page);
  check(answered.selection === choice && answered.confirmed === 1, `the key ${choice} answers with row ${choice} at once`);
  await tickUntil(page, "Judging");
  await tickUntil(page, "Answering");

  await page.evaluate(() => perna.tick(3));
  await menu(page, 40009, 40003);
  await waitFor("the about box", () => page.$eval("#about-box", (box) => box.open));
  const before = await clock(page);
  await page.evaluate(() => perna.tick(30));
  check(await paused(page) && await clock(page) === before, `the clock stops under "一時停止中" while a dialog is open (${before})`);
  await page.click("#about-ok");
  await waitFor("the about box to close", () => page.evaluate(() => perna.dialogsOpen() === 0));
  await page.evaluate(() => perna.tick(2));
  check(!(await paused(page)) && await clock(page) !== before, "the clock goes on once the dialog is closed");
  await page.evaluate(() => dispatchEvent(new Event("blur")));
  const blurred = await clock(page);
  await page.evaluate(() => perna.tick(5));
  check(await paused(page) && await clock(page) === blurred, "the clock stops while the window is in the background");
  await page.evaluate(() => dispatchEvent(new Event("focus")));
  await page.evaluate(() => perna.tick(1));
  // A hidden tab that keeps the focus (as a phone's switcher leaves it) stops the clock too.
  await page.evaluate(() => {
    Object.defineProperty(document, "hidden", { configurable: true, get: () => true });
    document.dispatchEvent(new Event("visibilitychange"));
  });
  const hidden = await clock(page);
  await page.evaluate(() => perna.tick(5));
  check(await paused(page) && await clock(page) === hidden, "the clock stops while the tab is hidden, though the window keeps the focus");
  await page.evaluate(() => {
    delete document.hidden;
    document.dispatchEvent(new Event("visibilitychange"));
  });
}

// ツール > "この対局を保存...": the game as the page's core recorded it, a quiz-replay script whose
// comments trace each screen the page entered; quiz-replay plays it to the same trace.
async function savedGame(page) {
  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), "perna-recording-"));
  const session = await page.createCDPSession();
  await session.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads });
  await menu(page, 40009, "save-game");
  const saved = path.join(downloads, "対局.script");
  await waitFor("the recording's download", () => fs.existsSync(saved) && fs.statSync(saved).size > 0);
  // The page keeps its quiz files under /quiz; here they lie in the work folder.
  fs.copyFileSync(path.join(site, "sample.kqd"), path.join(downloads, "sample.kqd"));
  const script = fs.readFileSync(saved, "utf8").replaceAll(" /quiz/", ` ${downloads}/`);
  fs.writeFileSync(path.join(outDir, "recorded-in-browser.script"), script);
  fs.writeFileSync(path.join(downloads, "replayed.script"), script);
  const traced = script.split("\n").filter((line) => line.startsWith("# t="));
  const replay = spawnSync(quizReplay, ["--documents", path.join(downloads, "documents"), path.join(downloads, "replayed.script")],
    { encoding: "utf8" });
  const replayed = replay.stdout.split("\n").filter((line) => line.includes('"screen"') && line.includes('"t"'))
    .map((line) => JSON.parse(line))
    .map((s) => `# t=${s.t} ${s.screen} score=${s.score} level=${s.level} question=${s.questionIndex} right=${s.levelCorrect} slots=${s.slotsLeft}`);
  // The replay's first line is the title it starts on, entered before the page's recording began.
  const [start, ...entered] = replayed;
  check(replay.status === 0 && start.startsWith("# t=0 Title ") && traced.length > 20 && traced.join("\n") === entered.join("\n"),
    `quiz-replay plays the game saved in the page to the same trace (${traced.length} and ${entered.length} screens${replay.stderr ? `: ${replay.stderr.trim()}` : ""})`);
  const end = JSON.parse(replay.stdout.trim().split("\n").pop());
  check(end.score === (await state(page)).score && end.ranking[0].name === PLAYER_KEPT, "the replayed game ends with the page's score and name");
  fs.rmSync(downloads, { recursive: true, force: true });
}

// The ranking read back from the browser's storage, and the settings file downloaded.
async function afterReload(browser, origin, player) {
  const page = await newPage(browser, { width: 800, height: 700 });
  await page.goto(`${origin}/index.html?clock=manual`);
  await page.evaluate(() => perna.ready);
  const now = await state(page);
  console.log(`after the reload: ${JSON.stringify(now.ranking[0])}`);
  check(now.ranking[0].name === PLAYER_KEPT && now.ranking[0].score === player.finalScore,
    "after a reload the ranking row is still there");
  check(await page.$eval("#command-40013", (item) => !item.disabled), "ランキング表示... is offered on the title");
  await menu(page, 40009, 40013);
  check((await state(page)).screen === "Ranking", "ランキング表示... shows the ranking");
  // The first row's text covers the banner's lowest rows.
  check(await showsBitmap(page, 156, 20, 0, 24), "the ranking banner is painted");
  const inked = (await pixels(page, Array.from({ length: 100 }, (_, i) => [40 + i, 28 + (i % 12)])))
    .filter((p) => p[0] < 128).length;
  check(inked > 3, "the first row shows the name");
  await page.click("#command-40004");
  check(await page.$eval("#recent-1", (item) => item.textContent) === "1 sample.kqd", "最近使ったファイル lists the quiz file kept");
  await page.click("#command-40009");
  check(await page.$eval("#command-40014", (item) => !item.disabled), "the missed questions are kept across a reload");
  await page.click("#command-40014");
  await waitFor("the missed-questions dialog", () => page.$eval("#missed-dialog", (dialog) => dialog.open));
  check(await page.$$eval("#missed th", (headings) => headings.every((heading) => {
    const range = document.createRange();
    range.selectNodeContents(heading);
    return new Set(Array.from(range.getClientRects(), (rect) => Math.round(rect.top))).size === 1;
  })), "the missed questions' headings each keep to one line");
  await page.click("#missed-close");
  await waitFor("the dialog to close", () => page.evaluate(() => perna.dialogsOpen() === 0));
  await menusByKeyboard(page);

  // The page's own options: off, they stay off, and the settings file below must not change for them.
  check((await state(page)).noRepeats === true, "同じ問題を出さない is on at first");
  await menu(page, 40009, 40012);
  await page.click("#settings-pause");
  await page.click("#settings-norepeat");
  await page.click("#settings-ok");
  await waitFor("同じ問題を出さない turned off to reach the game", async () => (await state(page)).noRepeats === false);

  const downloads = fs.mkdtempSync(path.join(os.tmpdir(), "perna-downloads-"));
  const session = await page.createCDPSession();
  await session.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads });
  await menu(page, 40004, "save-settings");
  const downloaded = path.join(downloads, "ポケットペルナ.txt");
  await waitFor("the settings download", () => fs.existsSync(downloaded) && fs.statSync(downloaded).size > 0);

  const work = fs.mkdtempSync(path.join(os.tmpdir(), "perna-replay-"));
  fs.copyFileSync(path.join(site, "sample.kqd"), path.join(work, "sample.kqd"));
  fs.writeFileSync(path.join(work, "game.script"), player.script.join("\n") + "\n");
  fs.writeFileSync(path.join(outDir, "game.script"), player.script.join("\n") + "\n");
  const replay = spawnSync(quizReplay, ["--seed", String(SEED), "--documents", path.join(work, "documents"),
    path.join(work, "game.script")], { encoding: "utf8" });
  check(replay.status === 0, `quiz-replay plays the same events (${replay.stderr.trim()})`);
  const expected = fs.readFileSync(path.join(work, "documents", "ポケットペルナ.txt"));
  const actual = fs.readFileSync(downloaded);
  check(Buffer.compare(expected, actual) === 0,
    `the downloaded settings file is byte for byte what quiz-replay writes (${actual.length} and ${expected.length} bytes)`);

  // A ranking from elsewhere: the same game under another name, loaded from the menu.
  const otherName = "ほかの人";
  fs.writeFileSync(path.join(work, "other.script"),
    player.script.map((line) => (line.startsWith("name ") ? `name ${otherName}` : line)).join("\n") + "\n");
  spawnSync(quizReplay, ["--seed", String(SEED), "--documents", path.join(work, "other"), path.join(work, "other.script")]);
  const [chooser] = await Promise.all([page.waitForFileChooser(), menu(page, 40004, "load-settings")]);
  await Promise.all([page.waitForNavigation(), chooser.accept([path.join(work, "other", "ポケットペルナ.txt")])]);
  await page.evaluate(() => perna.ready);
  check((await state(page)).ranking[0].name === otherName, "a settings file loaded from the menu brings its ranking");
  check((await state(page)).noRepeats === false, "同じ問題を出さない stays off after the reload, kept apart from the settings file");

  // A quiz file the game refuses: the desktop's message, and the title stays.
  await page.goto(`${origin}/index.html?clock=manual&quiz=missing.kqd`);
  await page.evaluate(() => perna.ready);
  await waitFor("the load error", () => page.$eval("#message-box", (box) => box.open));
  const [caption, text] = await page.$eval("#message-box", (box) =>
    [box.querySelector(".caption").textContent, box.querySelector(".text").textContent]);
  check(caption === "ファイルの読み込みエラー" && text.startsWith("データの読み込みに失敗しました。") &&
    text.includes("missing.kqd"),
    `a quiz file that cannot be had is refused with the game's message (${caption}: ${text})`);
  check((await state(page)).screen === "Title", "the title stays after the refusal");
  await page.click("#message-ok");
  await waitFor("the message box to close", () => page.evaluate(() => perna.dialogsOpen() === 0));
  await page.keyboard.press("Enter");
  check((await state(page)).screen === "QuestionIntro", "after a reload Return on the title starts the quiz file kept last");

  fs.rmSync(work, { recursive: true, force: true });
  fs.rmSync(downloads, { recursive: true, force: true });
  await page.close();
}

// A game pad stubbed into the page before its script runs (puppeteer cannot plug one in): A on
// the title, the stick and D-pad moving the highlight once per lean, A answering and closing a box.
async function withGamePad(browser, origin) {
  const page = await newPage(browser, { width: 800, height: 700 });
  await page.evaluateOnNewDocument(() => {
    const pad = { index: 0, id: "test pad", connected: true, mapping: "standard", timestamp: 0, axes: [0, 0, 0, 0],
      buttons: Array.from({ length: 17 }, () => ({ pressed: false, touched: false, value: 0 })) };
    window.testPad = pad;
    Object.defineProperty(navigator, "getGamepads", { value: () => [pad, null, null, null] });
  });
  await page.goto(`${origin}/index.html?seed=${SEED}&clock=manual`);
  await page.evaluate(() => perna.ready);
  const frames = () => page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
  const button = async (index) => {
    await page.evaluate((index) => { testPad.buttons[index].pressed = true; }, index);
    await frames();
    await page.evaluate((index) => { testPad.buttons[index].pressed = false; }, index);
    await frames();
  };
  const stick = async (value) => { await page.evaluate((value) => { testPad.axes[1] = value; }, value); await frames(); };

  await button(0);
  check((await state(page)).screen === "QuestionIntro", "the pad's A on the title starts the quiz file kept last");
  await tickUntil(page, "Answering");
  await stick(0.6);
  await stick(0.7);
  await stick(0.3);  // not back far enough to count as let go
  await stick(0.6);
  check((await state(page)).selection === 1, "a stick held down moves the highlight once");
  await stick(0);
  await stick(0.6);
  await stick(0);
  check((await state(page)).selection === 2, "a stick let go and leaned again moves it again");
  await button(13);
  await button(12);
  await button(12);
  check((await state(page)).selection === 1, "the D-pad moves the highlight down and up");
  const right = (await state(page)).correctPosition + 1;
  while ((await state(page)).selection !== right) await button(13);
  await button(0);
  await page.evaluate(() => perna.tick(1));
  const judged = await state(page);
  check(judged.screen === "Judging" && judged.score > 0, "A answers the highlighted right row");

  await tickUntil(page, "Answering");
  await menu(page, 40009, 40003);
  const before = await clock(page);
  await page.evaluate(() => perna.tick(3));
  check(!(await paused(page)) && await clock(page) !== before, "with the pause turned off the clock runs on behind a dialog");
  await button(0);
  check(!(await page.$eval("#about-box", (box) => box.open)), "the pad's A closes the about box");
  await page.close();
}

// The menu bar by keys: F10 to the bar, arrows along it and in a menu, Escape out, Return runs
// an item; and pointing at another title while a menu is open switches to it.
async function menusByKeyboard(page) {
  const focused = () => page.evaluate(() => document.activeElement.id);
  const open = () => page.$$eval(".menu.open > button", (titles) => titles.map((title) => title.id).join(","));
  await page.keyboard.press("F10");
  check(await focused() === "command-40004", "F10 focuses the menu bar's first title");
  await page.keyboard.press("ArrowRight");
  await page.keyboard.press("ArrowDown");
  check(await open() === "command-40009" && await focused() === "command-40003", "Right then Down opens ツール at its first item");
  check(!(await page.evaluate(() => perna.paused())), "a menu open over the title leaves the picture unveiled, the clock not mattering there");
  await page.keyboard.press("ArrowDown");
  check(await focused() === "command-40012", "Down moves to the next item");
  await page.keyboard.press("ArrowLeft");
  check(await open() === "command-40004" && await focused() === "command-40007", "Left switches to ファイル, at its first item");
  check(await page.$eval("#command-40004", (title) => title.getAttribute("aria-expanded")) === "true", "the open menu's title says so");
  await page.keyboard.press("Escape");
  check(await open() === "" && await focused() === "command-40004", "Escape closes the menu and leaves the focus on its title");
  await page.keyboard.press("ArrowRight");
  await page.keyboard.press("Enter");
  await page.keyboard.press("Enter");
  await waitFor("the about box from the keyboard", () => page.$eval("#about-box", (box) => box.open));
  await page.keyboard.press("F10");
  check(await focused() === "about-ok", "F10 leaves an open dialog's focus where it is");
  await page.click("#about-ok");
  await waitFor("the about box to close", () => page.evaluate(() => perna.dialogsOpen() === 0));
  await page.click("#command-40004");
  await page.hover("#command-40009");
  check(await open() === "command-40009", "with ファイル open, pointing at ツール opens ツール instead");
  await page.click("body");
}

// A bitmap's pixels in a PNG screenshot, as `scale` device pixels per game pixel from the
// picture's top left corner at device pixel (left, top): true when every game pixel sampled is
// a whole `scale` x `scale` block of the bitmap's colour.
async function screenshotShows(page, png, id, at, left, top, scale) {
  return page.evaluate(async (data, id, at, left, top, scale) => {
    const shot = await createImageBitmap(await (await fetch(`data:image/png;base64,${data}`)).blob());
    const grab = new OffscreenCanvas(shot.width, shot.height).getContext("2d");
    grab.drawImage(shot, 0, 0);
    const image = await createImageBitmap(await (await fetch(`bitmaps/${id}.bmp`)).blob());
    const reference = new OffscreenCanvas(image.width, image.height).getContext("2d");
    reference.drawImage(image, 0, 0);
    for (let j = 0; j < image.height; j += 3) {
      for (let i = 0; i < image.width; i += 3) {
        const want = reference.getImageData(i, j, 1, 1).data;
        const block = grab.getImageData(left + (at[0] + i) * scale, top + (at[1] + j) * scale, scale, scale).data;
        for (let k = 0; k < block.length; k += 4) {
          if (Math.abs(block[k] - want[0]) > 2 || Math.abs(block[k + 1] - want[1]) > 2 || Math.abs(block[k + 2] - want[2]) > 2) return false;
        }
      }
    }
    return true;
  }, png, id, at, left, top, scale);
}

// A phone at 390 x 844 CSS px and 3 device pixels to one: the picture at 4 device pixels per game
// pixel, a button to open one's own file and no word of dropping, taps on the title and the
// rows, and the missed questions as a list.
async function onPhone(browser, origin) {
  const page = await newPage(browser, { width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true });
  await page.goto(`${origin}/index.html?seed=${SEED}&clock=manual`);
  await page.evaluate(() => perna.ready);
  const box = await (await page.$("#screen")).boundingBox();
  check(await page.$eval("#screen", (canvas) => canvas.width) === 960 && Math.round(box.width) === 320,
    `the picture takes 4 device pixels per game pixel: 320 CSS px of 390 (${box.width})`);
  // The title's text, laid out with the font's own widths, is centred line by line (within the
  // few pixels by which a line ending in "。" leans left).
  const centres = await page.evaluate(() => {
    const canvas = document.getElementById("screen");
    const scale = canvas.width / 240;
    const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
    const black = (x, y) => { const at = ((y * scale + 1) * canvas.width + x * scale + 1) * 4; return data[at] < 60 && data[at + 1] < 60 && data[at + 2] < 60; };
    const lines = [];
    let line = null;
    for (let y = 130; y < 268; ++y) {
      const inked = Array.from({ length: 240 }, (_, x) => x).filter((x) => black(x, y));
      if (inked.length === 0) { line = null; continue; }
      if (!line) lines.push(line = { left: 240, right: 0 });
      line.left = Math.min(line.left, inked[0]);
      line.right = Math.max(line.right, inked[inked.length - 1]);
    }
    return lines.map((found) => (found.left + found.right + 1) / 2);
  });
  check(centres.length >= 2 && centres.every((centre) => Math.abs(centre - 120) <= 5),
    `the title's text lines are centred once the font has come (${centres})`);
  const png = await page.screenshot({ encoding: "base64" });
  fs.writeFileSync(path.join(outDir, "phone.png"), Buffer.from(png, "base64"));
  check(await screenshotShows(page, png, 134, [0, 100], Math.round(box.x * 3), Math.round(box.y * 3), 4),
    "the phone's screenshot shows the title's bitmap at 4 x 4 device pixels per game pixel");
  check(await page.$eval("#open-own", (button) => button.offsetParent !== null) &&
    !(await page.evaluate(() => document.body.innerText.includes("ドロップ"))),
  "a touch screen offers a button to open one's own file and says nothing of dropping");
  await page.touchscreen.tap(box.x + box.width / 2, box.y + box.height / 2);
  check((await state(page)).screen === "QuestionIntro", "a tap on the phone's title starts the game");
  await tickUntil(page, "Answering");
  const wrong = (await state(page)).correctPosition === 0 ? 2 : 1;
  const scale = box.width / 240;
  for (let i = 0; i < 2; ++i) {
    await page.touchscreen.tap(box.x + choiceRowMiddle(wrong).x * scale, box.y + choiceRowMiddle(wrong).y * scale);
  }
  const answered = await state(page);
  check(answered.selection === wrong && answered.confirmed === 1, `two taps on row ${wrong} answer with it at 4/3 CSS px per game pixel`);
  await tickUntil(page, "QuestionIntro");
  await menu(page, 40009, 40014);
  await waitFor("the missed-questions dialog", () => page.$eval("#missed-dialog", (dialog) => dialog.open));
  const layout = await page.$eval("#missed", (table) => [getComputedStyle(table.tHead).display,
    getComputedStyle(table.querySelector("td")).display, getComputedStyle(table.querySelector("td"), "::before").content]);
  check(layout.join("|") === 'none|block|"ジャンル"', `a phone shows the missed questions as a list under their headings (${layout})`);
  const fits = await page.$eval("#missed-dialog", (dialog) => dialog.getBoundingClientRect().right <= innerWidth);
  check(fits, "the missed questions' dialog fits the phone's width");
  await page.click("#missed-close");
  await waitFor("the dialog to close", () => page.evaluate(() => perna.dialogsOpen() === 0));
  await menu(page, 40009, 40012);
  // Lines break between phrases: no line of the pause option's label holds one character alone.
  const lines = await page.$eval("#settings-pause", (box) => {
    const range = document.createRange();
    range.selectNodeContents(box.parentElement);
    range.setStartAfter(box);
    const widths = new Map();
    for (const rect of range.getClientRects()) widths.set(Math.round(rect.top), (widths.get(Math.round(rect.top)) || 0) + rect.width);
    return Array.from(widths.values(), (width) => width / parseFloat(getComputedStyle(box.parentElement).fontSize));
  });
  check(lines.every((width) => width > 1.5), `the pause option's label leaves no character alone on a line (${lines.map((w) => w.toFixed(1))} ems)`);
  await page.click("#settings-cancel");
  await page.close();
}

// 2560 x 1440: the picture at scale 5, the menus' text three times the handheld's, taps on rows.
async function onLargeScreen(browser, origin) {
  const page = await newPage(browser, { width: 2560, height: 1440 });
  await page.goto(`${origin}/index.html?seed=${SEED}&clock=manual`);
  await page.evaluate(() => perna.ready);
  const fontSize = await page.$eval("#command-40004", (title) => getComputedStyle(title).fontSize);
  check(await page.$eval("#screen", (canvas) => canvas.width / 240) === 5 && fontSize === "36px",
    `a 2560 x 1440 page shows the picture at scale 5 and the menus at 36 px (${fontSize})`);
  const player = new Player(page);
  await player.tap(120, 130);
  await tickUntil(page, "Answering");
  await player.tap(choiceRowMiddle(4).x, choiceRowMiddle(4).y);
  check((await state(page)).selection === 4, "a tap at scale 5 highlights the row under it");
  await page.close();
}

// The logical pixels the picture has dark, as a string of 0 and 1.
const darkPixels = (page) => page.evaluate(() => {
  const canvas = document.getElementById("screen");
  const scale = canvas.width / 240;
  const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
  let dark = "";
  for (let y = 0; y < 268; ++y) {
    for (let x = 0; x < 240; ++x) {
      const at = ((y * scale + (scale >> 1)) * canvas.width + x * scale + (scale >> 1)) * 4;
      dark += data[at] + data[at + 1] + data[at + 2] < 300 ? "1" : "0";
    }
  }
  return dark;
});

// A page in a context of its own (so that no earlier visit's service worker answers for the
// server) whose requests matching `held` wait until `release` is called.
async function pageWithFontHeld(browser, held) {
  const context = await browser.createBrowserContext();
  const page = await newPage(context, { width: 500, height: 620 });
  let release = null;
  const released = new Promise((resolve) => { release = resolve; });
  await page.setRequestInterception(true);
  page.on("request", (request) => {
    if (held.test(request.url())) released.then(() => request.continue());
    else request.continue();
  });
  return { context, page, release };
}

// The first question of a fixed game whole, with the pieces of the font matching `held` kept
// back until the question is up: the picture while they are awaited and once they have come.
async function firstQuestionPictures(browser, origin, held) {
  const { context, page, release } = await pageWithFontHeld(browser, held);
  try {
    await page.goto(`${origin}/index.html?clock=manual&seed=${SEED}&quiz=sample.kqd`, { waitUntil: "domcontentloaded" });
    await page.evaluate(() => perna.ready);
    await waitFor("the quiz from the address", async () => (await state(page))?.screen === "QuestionIntro");
    // The question and its choices whole, whether the settings show it bit by bit or at once.
    for (let count = 0; (await state(page)).screen !== "Answering"; ++count) {
      if (count > 100) throw new Error("the first question never came");
      await page.evaluate(() => perna.tick(1));
    }
    const pending = await page.evaluate(() => perna.textPending());
    const waiting = await darkPixels(page);
    release();
    await waitFor("the late piece", () => page.evaluate(() => !perna.textPending()));
    return { pending, waiting, drawn: await darkPixels(page) };
  } finally {
    await context.close();
  }
}

// The pieces with the kanji the title does not need come late: the question's text waits for
// them, never drawn meanwhile in another font, and is drawn as they arrive, without a tick of the
// clock, as it is when they come at once.
async function latePieceOfFont(browser, origin) {
  const late = await firstQuestionPictures(browser, origin, /\.[2-5]\.woff2$/);
  check(late.pending, "the first question's text waits for a piece of the font");
  const stray = [...late.waiting].filter((pixel, at) => pixel === "1" && late.drawn[at] === "0").length;
  check(stray === 0, `nothing is drawn in another font while a piece is awaited (${stray} pixels)`);
  const prompt = await firstQuestionPictures(browser, origin, /^$/);
  const differing = [...late.drawn].filter((pixel, at) => pixel !== prompt.drawn[at]).length;
  check(late.drawn !== late.waiting && differing === 0,
    `once the late piece arrives the question is drawn as when every piece came at once (${differing} pixels differ)`);

  // Under the real clock the time to answer stands still while the choices' piece is awaited.
  const { context, page, release } = await pageWithFontHeld(browser, /\.[2-5]\.woff2$/);
  try {
    await page.goto(`${origin}/index.html?seed=${SEED}&quiz=sample.kqd`, { waitUntil: "domcontentloaded" });
    await page.evaluate(() => perna.ready);
    await waitFor("the choices awaiting their piece", () => page.evaluate(() =>
      perna.state()?.screen === "Answering" && perna.textPending()), 20000);
    const before = await state(page);
    await sleep(600);
    const after = await state(page);
    release();
    await waitFor("the clock going again", async () => (await state(page)).timeLeft !== after.timeLeft, 5000);
    check(after.timeLeft === before.timeLeft && after.screen === "Answering",
      `the time to answer waits for the piece (${before.timeLeft}, then ${after.timeLeft})`);
  } finally {
    await context.close();
  }
}

// The page as an app, from a copy of the folder on a server of its own: Chromium finds no
// installability error, a reload with the server gone plays, and a new version served replaces
// the old one once the page is back on its title.
async function asApp(browser) {
  const copy = fs.mkdtempSync(path.join(os.tmpdir(), "perna-app-"));
  fs.cpSync(site, copy, { recursive: true });
  let server = await serve(copy);
  const port = server.address().port;
  const origin = `http://127.0.0.1:${port}`;
  const page = await newPage(browser, { width: 500, height: 700 });
  try {
    await page.goto(`${origin}/index.html?clock=manual&seed=${SEED}`);
    await page.evaluate(() => perna.ready);
    await page.waitForFunction(() => navigator.serviceWorker.controller !== null, { timeout: 30000 });
    const session = await page.createCDPSession();
    const { installabilityErrors } = await session.send("Page.getInstallabilityErrors");
    console.log(`installability errors: ${JSON.stringify(installabilityErrors.map((error) => error.errorId))}`);
    check(installabilityErrors.length === 0, "Chromium finds the page installable");
    await session.detach();

    server.close();
    server.closeAllConnections();
    await page.reload();
    await page.evaluate(() => perna.ready);
    await page.keyboard.press("Enter");
    await tickUntil(page, "Answering");
    check(await page.evaluate(() => document.fonts.check('12px "VL Gothic Web"')), "a reload with the server gone plays, in the game's font");
    const pieces = await page.evaluate(async () => {
      await Promise.allSettled([...document.fonts].map((face) => face.load()));
      return [...document.fonts].map((face) => face.status);
    });
    check(pieces.length > 1 && pieces.every((status) => status === "loaded"),
      `offline, every piece of the font comes from the worker's copy (${pieces.join(" ")})`);

    // A new version: another page and another worker.
    fs.writeFileSync(path.join(copy, "index.html"),
      fs.readFileSync(path.join(copy, "index.html"), "utf8").replace("<head>", '<head>\n<meta name="build" content="next">'));
    fs.writeFileSync(path.join(copy, "sw.js"), fs.readFileSync(path.join(copy, "sw.js"), "utf8").replace(/const VERSION = "/, 'const VERSION = "next-'));
    server = await serve(copy, port);
    await page.goto(`${origin}/index.html?clock=manual&seed=${SEED}`);
    await page.evaluate(() => perna.ready);
    await waitFor("the new version", () => page.evaluate(() => document.querySelector('meta[name="build"]') !== null).catch(() => false), 30000);
    check(true, "a new version served takes over the page on its title");
  } finally {
    await page.close();
    server.close();
    fs.rmSync(copy, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(`FAIL: ${error.stack || error}`);
  process.exit(1);
});
