// The font's pieces late: the title and the first question of a fixed game, played to its choices
// in a cold browser context where every piece of the font comes at once, and again in one where
// each piece is held back as it is asked for. Once the late pieces have come the two pictures
// must be the same pixel for pixel (text laid out before its piece came is laid out again), and
// the title, painted before any piece, must keep no width measured in the browser's stand-in
// font. The service worker's copying meanwhile waits until the choices are drawn. And with every
// file but the page itself held back, the title's picture is still painted. About 15 s.
//
// Usage: node late_font.mjs SITE NODE-MODULES-DIR OUTPUT-DIR
import fs from "node:fs";
import path from "node:path";
import { pathToFileURL } from "node:url";

import { check, runInBrowser, sleep, waitFor } from "./harness.mjs";

const [site, modulesDir, outDir] = process.argv.slice(2);

// Its first question wraps at a kanji of a piece the title does not need.
const SEED = 18;
const HOLD_MS = 1500;
// How long the page must have waited on nothing before its service worker starts.
// The modules as written lie beside the built site.
const { QUIET_MS } = await import(pathToFileURL(path.join(site, "..", "modules", "appinstall.js")).href);

const picture = (page) => page.$eval("#screen", (canvas) => canvas.toDataURL("image/png"));

// The title's first line: how wide its ink is in the picture's pixels, and how wide the font
// itself makes it (each character's advance rounded, as the page lays text out).
const TITLE_LINE = "クイズ問題ファイルは";
const titleLineWidths = (page) => page.evaluate((text) => {
  const canvas = document.getElementById("screen");
  const scale = canvas.width / 240;
  const data = canvas.getContext("2d").getImageData(0, 180 * scale, canvas.width, 15 * scale).data;
  let left = canvas.width, right = -1;
  for (let at = 0; at < data.length; at += 4) {
    if (data[at] + data[at + 1] + data[at + 2] >= 300) continue;
    const x = (at / 4) % canvas.width;
    left = Math.min(left, x);
    right = Math.max(right, x);
  }
  const measure = document.createElement("canvas").getContext("2d");
  measure.font = '12px "VL Gothic Web"';
  const advances = [...text].reduce((sum, character) => sum + Math.round(measure.measureText(character).width), 0);
  return { ink: (right - left + 1) / scale, advances };
}, TITLE_LINE);

// The title's picture, then the first question's once its choices are drawn, in a fresh context.
// With `late`, each piece of the font comes HOLD_MS after it is asked for, and those with kanji the
// title does not need only once the choices are up; also whether the choices waited for a piece.
async function firstQuestion(browser, origin, late) {
  const context = await browser.createBrowserContext();
  let release = null;
  const released = new Promise((resolve) => { release = resolve; });
  try {
    const page = await context.newPage();
    await page.setViewport({ width: 500, height: 620 });
    page.on("pageerror", (error) => check(false, `no error on the page: ${error.message}`));
    await page.setRequestInterception(true);
    page.on("request", (request) => {
      const url = request.url();
      if (!late || !url.endsWith(".woff2")) request.continue();
      else Promise.all([sleep(HOLD_MS), /\.[2-5]\.woff2$/.test(url) ? released : null]).then(() => request.continue());
    });
    await page.goto(`${origin}/index.html?clock=manual&seed=${SEED}`, { waitUntil: "domcontentloaded" });
    await page.evaluate(() => perna.ready);
    const title = await picture(page);
    const titleLine = await titleLineWidths(page);
    await page.keyboard.press("Enter");
    for (let count = 0; (await page.evaluate(() => perna.state().screen)) !== "Answering"; ++count) {
      if (count > 100) throw new Error("the first question never came");
      await page.evaluate(() => perna.tick(1));
    }
    const waited = await page.evaluate(() => perna.textPending());
    // The service worker's copying waits while the choices wait for their piece, and starts after.
    let workerWaited = true;
    if (late) {
      await sleep(QUIET_MS + 500);
      workerWaited = await page.evaluate(async () => (await navigator.serviceWorker.getRegistration()) === undefined);
    }
    release();
    await waitFor("the pieces of the font", () => page.evaluate(() => !perna.textPending()), 15000);
    if (late) await waitFor("the service worker", () => page.evaluate(async () => (await navigator.serviceWorker.getRegistration()) !== undefined), 10000);
    return { waited, workerWaited, title, titleLine, question: await picture(page) };
  } finally {
    release();
    await context.close();
  }
}

// Whether the title's picture is painted while every request but the page's own waits: nothing
// the first paint needs may come in a file of its own.
async function titleFromThePageAlone(browser, origin) {
  const context = await browser.createBrowserContext();
  try {
    const page = await context.newPage();
    await page.setRequestInterception(true);
    const held = [];
    page.on("request", (request) => (request.isNavigationRequest() ? request.continue() : held.push(request)));
    // Its loading never ends: the scripts it waits for are held.
    page.goto(`${origin}/index.html`).catch(() => {});
    return await page.waitForFunction(() => {
      if (!window.titleSeen) {
        window.titleSeen = { painted: false };
        new PerformanceObserver((list) => {
          if (list.getEntries().some((entry) => entry.identifier === "title" && entry.renderTime > 0)) window.titleSeen.painted = true;
        }).observe({ type: "element", buffered: true });
      }
      return window.titleSeen.painted;
    }, { polling: 50, timeout: 5000 }).then(() => true, () => false);
  } finally {
    await context.close();
  }
}

async function main() {
  fs.mkdirSync(outDir, { recursive: true });
  await runInBrowser(site, modulesDir, async (browser, origin) => {
    check(await titleFromThePageAlone(browser, origin), "the title's picture is painted with every file but the page held back");
    const prompt = await firstQuestion(browser, origin, false);
    const late = await firstQuestion(browser, origin, true);
    check(late.waited, "with the font held back, the first question waits for its pieces");
    check(late.workerWaited, "the service worker is not registered while the choices wait for the font");
    // The title is first painted before any piece has come: nothing measured then may stay.
    const { ink, advances } = late.titleLine;
    check(ink <= advances && ink >= advances - 4, `the title's line is as wide as the font's advances (${ink} of ${advances} px)`);
    for (const [what, key] of [["the title", "title"], ["the first question", "question"]]) {
      const same = late[key] === prompt[key];
      if (!same) {
        for (const [run, shot] of [["prompt", prompt], ["late", late]]) {
          fs.writeFileSync(path.join(outDir, `${key}-${run}.png`), Buffer.from(shot[key].split(",")[1], "base64"));
        }
      }
      check(same, `${what} with the font late is the picture it is with the font at once (see ${outDir} if not)`);
    }
  });
}

main().catch((error) => {
  console.error(`FAIL: ${error.stack || error}`);
  process.exit(1);
});
