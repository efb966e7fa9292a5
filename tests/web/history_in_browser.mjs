// The learning history in Debian's headless Chromium: a game of mostly wrong answers on one day,
// a reload, and on the next day the due count in the menu and the page's title, 今日の復習 over
// just those questions, and 成績 with its three charts, the questions missed most often and the
// CSV export; then a browser whose storage refuses the history tells the player once and plays on.
// Writes the progress window's pictures, at desktop and phone width, to OUTPUT-DIR.
//
// Usage: node history_in_browser.mjs SITE NODE-MODULES-DIR OUTPUT-DIR
import fs from "node:fs";
import path from "node:path";

import { check, runInBrowser, waitFor } from "./harness.mjs";

const [site, modulesDir, outDir] = process.argv.slice(2);

const SEED = 7;
const FIRST_DAY = "2026-12-01";
const NEXT_DAY = "2026-12-02";
const TOOLS_MENU = "40009";
const REVIEW_DUE = "40016";
const MISSED_QUESTIONS = "40014";
const choiceRowMiddle = (row) => ({ x: 123, y: 30 + 35 * row + 15 });

let origin = "";
const state = (page) => page.evaluate(() => perna.state());

async function tickUntil(page, screens, limit = 400) {
  for (let count = 0; !screens.includes((await state(page)).screen); ++count) {
    if (count > limit) throw new Error(`never reached ${screens} from ${JSON.stringify(await state(page))}`);
    if (await page.evaluate(() => perna.waiting())) await page.keyboard.press("Enter");
    await page.evaluate(() => perna.tick(1));
  }
}

async function tapRow(page, row) {
  const box = await (await page.$("#screen")).boundingBox();
  const scale = box.width / 240;
  const { x, y } = choiceRowMiddle(row);
  for (let i = 0; i < 2; ++i) await page.mouse.click(box.x + (x + 0.5) * scale, box.y + (y + 0.5) * scale);
}

async function open(browser, viewport, before) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  page.on("pageerror", (error) => check(false, `no error on the page: ${error.message}`));
  if (before) await page.evaluateOnNewDocument(before);
  await page.goto(`${origin}/index.html?seed=${SEED}&clock=manual&quiz=sample.kqd`);
  await page.evaluate(() => perna.ready);
  await waitFor("the quiz from ?quiz=", async () => (await state(page)).screen !== "Title");
  return page;
}

const menuItem = (page, id) => page.$eval(`#command-${id}`, (item) => ({ text: item.firstChild.textContent, enabled: !item.disabled }));

// One game: the first question right, every other one wrong until the level ends short of its
// quota. Returns how many were answered wrong.
async function playMostlyWrong(page) {
  let wrong = 0;
  for (let question = 1; question <= 8; ++question) {
    await tickUntil(page, ["Answering"]);
    const right = (await state(page)).correctPosition + 1;
    await tapRow(page, question === 1 ? right : right === 1 ? 2 : 1);
    await page.evaluate(() => perna.tick(1));  // the answer is judged on the next tick
    wrong += question === 1 ? 0 : 1;
  }
  await tickUntil(page, ["GameOver", "Results"]);
  if (await page.$eval("#name-dialog", (dialog) => dialog.open)) await page.click("#name-ok");
  await waitFor("the name dialog to close", () => page.evaluate(() => perna.dialogsOpen() === 0));
  return wrong;
}

async function sittings(browser) {
  const page = await open(browser, { width: 900, height: 760 });
  await page.evaluate((day) => perna.setToday(day), FIRST_DAY);
  const wrong = await playMostlyWrong(page);
  const firstDay = await menuItem(page, REVIEW_DUE);
  check(firstDay.text === "今日の復習 (0問)" && !firstDay.enabled && await page.title() === "ポケットペルナ",
    "nothing is due on the day it was answered");
  // The game's own list of this game's misses, to hold the progress window's texts against.
  await page.click(`#command-${TOOLS_MENU}`);
  await page.click(`#command-${MISSED_QUESTIONS}`);
  await waitFor("the missed questions", () => page.$eval("#missed-dialog", (dialog) => dialog.open));
  const pairs = new Set(await page.$$eval("#missed tbody tr", (rows) => rows.map((row) =>
    `${row.cells[1].textContent}|${row.cells[3].textContent}`)));
  await page.click("#missed-close");
  await page.evaluate(() => perna.historySettled());

  await page.reload();
  await page.evaluate(() => perna.ready);
  await page.evaluate((day) => perna.setToday(day), NEXT_DAY);

  await page.click(`#command-${TOOLS_MENU}`);
  await page.click("#command-progress");
  await waitFor("the charts", () => page.$eval("#progress-dialog", (dialog) => dialog.dataset.charted === "3"));
  // The export as the button hands it to the browser: every answer of the day before, after a reload.
  await page.evaluate(() => {
    const make = URL.createObjectURL;
    URL.createObjectURL = (blob) => {
      window.exported = blob.arrayBuffer().then((bytes) => Array.from(new Uint8Array(bytes)));
      return make(blob);
    };
  });
  await page.click("#progress-export");
  const bytes = Buffer.from(await page.evaluate(() => window.exported));
  const lines = bytes.toString("utf8").trimEnd().split("\r\n");
  const misses = lines.filter((line) => line.startsWith(`${FIRST_DAY},`) && line.includes(",不正解,"));
  check(lines[0].startsWith("\ufeff日付,") && lines.length === 9 && misses.length === wrong,
    `CSVで書き出す... writes each of the 8 answers (${lines.length - 1} rows, ${misses.length} wrong)`);
  // The first stored choice is the right one: each row's choice agrees with its verdict.
  check(lines.slice(1).every((line) => (line.split(",")[3] === "1") === line.includes(",正解,") && /^[1-5]$/.test(line.split(",")[3])),
    "each answer keeps the choice taken");
  // The game may ask a question twice in a game: the schedule counts questions, not answers.
  const missed = new Set(misses.map((line) => line.split(",")[1])).size;

  const shown = await page.$eval("#progress-dialog", (dialog) => ({
    canvases: dialog.querySelectorAll(".progress-chart canvas").length,
    missed: [...dialog.querySelectorAll("#progress-missed tbody tr")].map((row) => Number.parseInt(row.lastChild.textContent, 10)),
    texts: [...dialog.querySelectorAll("#progress-missed tbody tr")].map((row) => `${row.cells[0].textContent}|${row.cells[1].textContent}`),
    legend: [...dialog.querySelectorAll("#progress-genres .u-legend .u-label")].map((label) => label.textContent),
  }));
  check(shown.canvases === 3, "成績 draws the scores, the genres and the days ahead");
  check(shown.missed.length === Math.min(missed, 10) && shown.missed.reduce((sum, count) => sum + count, 0) === wrong,
    `成績 lists the questions missed with their counts (${shown.missed.join(", ")})`);
  check(shown.texts.every((pair) => pairs.has(pair)), "each question missed is shown with its right answer");
  check(shown.legend.length >= 1, `the genre chart names the genres answered (${shown.legend.join(", ")})`);
  await page.screenshot({ path: path.join(outDir, "web-progress.png") });
  await page.click("#progress-close");

  const item = await menuItem(page, REVIEW_DUE);
  check(item.text === `今日の復習 (${missed}問)` && item.enabled, `the next day's menu offers the ${missed} questions missed (${item.text})`);
  check(await page.title() === `ポケットペルナ - 今日の復習: ${missed}問`, "the page's title names the questions due");

  // Narrow as a phone (without puppeteer's mobile mode, which reloads the page).
  await page.setViewport({ width: 390, height: 844 });
  await page.click(`#command-${TOOLS_MENU}`);
  await page.click("#command-progress");
  await waitFor("the charts at phone width", () => page.$eval("#progress-dialog", (dialog) => dialog.dataset.charted === "3"));
  const fits = await page.$eval("#progress-dialog", (dialog) => dialog.scrollWidth <= innerWidth);
  check(fits, "at phone width the window fits the screen's width");
  await page.screenshot({ path: path.join(outDir, "web-progress-phone.png"), fullPage: true });
  await page.click("#progress-close");
  await page.setViewport({ width: 900, height: 760 });

  await page.click(`#command-${TOOLS_MENU}`);
  await page.click(`#command-${REVIEW_DUE}`);
  await waitFor("the review run", async () => (await state(page)).review === missed);
  check(true, `今日の復習 starts a run over the ${missed} due questions`);
  await page.close();
}

// Storage that refuses: IndexedDB missing as in some private windows, or full at the first
// answer. Either is told once, by its cause, and the game goes on.
async function storageRefused(browser, why, refuse, cause) {
  const page = await open(browser, { width: 800, height: 700 }, refuse);
  const told = [];
  // The clock holds behind a message box: each one is read and closed as a player would.
  const answerNext = async (row) => {
    for (let count = 0; (await state(page)).screen !== "Answering"; ++count) {
      if (count > 400) throw new Error("never reached Answering");
      const text = await page.$eval("#message-box", (box) => (box.open ? box.textContent : ""));
      if (text !== "") {
        told.push(text);
        await page.click("#message-ok");
        await waitFor("the message to close", () => page.evaluate(() => perna.dialogsOpen() === 0));
      }
      await page.evaluate(() => perna.tick(1));
    }
    await tapRow(page, row);
    await page.evaluate(() => perna.tick(1));
  };
  for (let answer = 0; answer < 3; ++answer) await answerNext(1);
  await answerNext(1);  // reaches the fourth question, past every message the three answers gave
  check(told.length === 1 && told[0].includes("学習の記録") && told[0].includes(cause),
    `${why} is told once (${told.length} messages), and the game plays on`);
  await page.close();
}

fs.mkdirSync(outDir, { recursive: true });
runInBrowser(site, modulesDir, async (browser, served) => {
  origin = served;
  await sittings(browser);
  await storageRefused(browser, "a browser without IndexedDB", () => {
    Object.defineProperty(window, "indexedDB", { value: { open: () => { throw new DOMException("no", "SecurityError"); } } });
  }, "開けない");
  await storageRefused(browser, "a full store", () => {
    IDBObjectStore.prototype.add = () => { throw new DOMException("full", "QuotaExceededError"); };
  }, "空き容量");
});
