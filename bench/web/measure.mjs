// Measures the browser build as a first visitor meets it, in Debian's headless Chromium with a
// cold cache each time: the title on localhost and at "Fast 4G" (DevTools' preset: 8.1 Mbit/s
// down, 165 ms round trip), the first question's card at "Fast 4G" (the quiz opened by
// ?quiz=sample.kqd, and, where the page offers it, by one tap on the title), its question with
// its text drawn and its choices drawn with no piece of the font awaited, the bytes over the
// wire, Chromium's installability errors and Lighthouse's scores under its mobile emulation. The
// server compresses as static hosts do and counts every byte it sends, and apart the bytes of the
// files the page itself asked for: the rest is the service worker's copy for offline play of what
// the first game did not need (font pieces).
//
// Usage: node measure.mjs SITE NODE-MODULES-DIR [--no-lighthouse]
import fs from "node:fs";
import http from "node:http";
import { createRequire } from "node:module";
import os from "node:os";
import path from "node:path";
import zlib from "node:zlib";

const [site, modulesDir, ...flags] = process.argv.slice(2);
const require = createRequire(path.join(path.resolve(modulesDir), "package.json"));
const puppeteer = require("puppeteer-core");

const FAST_4G = { offline: false, latency: 60 * 2.75, downloadThroughput: (9e6 / 8) * 0.9, uploadThroughput: (1.5e6 / 8) * 0.9 };
const RUNS = 3;
// How long the game shows a question's card before its text (engine/Ticker.cpp), in ticks.
const INTRO_TICKS = 25;
const TYPES = { ".html": "text/html; charset=utf-8", ".js": "text/javascript", ".wasm": "application/wasm",
  ".css": "text/css", ".ttf": "font/ttf", ".woff2": "font/woff2", ".bmp": "image/bmp", ".wav": "audio/wav",
  ".png": "image/png", ".webmanifest": "application/manifest+json", ".json": "application/json" };
const COMPRESSED = new Set([".html", ".js", ".wasm", ".css", ".ttf", ".bmp", ".wav", ".webmanifest", ".kqd", ".pack", ".json"]);

// Compressed once before any measurement, as a static host keeps its files precompressed.
function compressAll(root) {
  const packed = new Map();
  const walk = (folder) => {
    for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
      const file = path.join(folder, entry.name);
      if (entry.isDirectory()) { walk(file); continue; }
      const data = fs.readFileSync(file);
      const etag = `"${data.length.toString(36)}-${fs.statSync(file).mtimeMs.toString(36)}"`;
      packed.set(`${file}|identity`, { body: data, etag });
      if (!COMPRESSED.has(path.extname(file))) continue;
      const quality = data.length > 1 << 20 ? 9 : 11;
      packed.set(`${file}|gzip`, { body: zlib.gzipSync(data, { level: 9 }), etag });
      packed.set(`${file}|br`, { body: zlib.brotliCompressSync(data, { params: { [zlib.constants.BROTLI_PARAM_QUALITY]: quality } }), etag });
    }
  };
  walk(root);
  return packed;
}

let sent = 0;
// path: the bytes of one answer for it, so that a file the page used and the service worker also
// copied counts once among the page's bytes (all of them are in `sent`)
const sentFor = new Map();
function serve(folder) {
  const root = path.resolve(folder);
  const packed = compressAll(root);
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, "http://127.0.0.1").pathname);
    const file = path.join(root, path.normalize(name.endsWith("/") ? name + "index.html" : name));
    if (!file.startsWith(root + path.sep) || !packed.has(`${file}|identity`)) {
      response.writeHead(404);
      response.end();
      return;
    }
    const accepts = request.headers["accept-encoding"] || "";
    const extension = path.extname(file);
    const encoding = !COMPRESSED.has(extension) ? "identity" : /\bbr\b/.test(accepts) ? "br" : /\bgzip\b/.test(accepts) ? "gzip" : "identity";
    const { body, etag } = packed.get(`${file}|${encoding}`);
    const headers = { "Content-Type": TYPES[extension] || "application/octet-stream", "Cache-Control": "no-cache", ETag: etag, Vary: "Accept-Encoding" };
    if (encoding !== "identity") headers["Content-Encoding"] = encoding;
    if (request.headers["if-none-match"] === etag) {
      response.writeHead(304, headers);
      response.end();
      sent += 200;
      sentFor.set(name, Math.max(sentFor.get(name) || 0, 200));
      return;
    }
    response.writeHead(200, { ...headers, "Content-Length": body.length });
    response.end(body);
    sent += body.length + 250;  // the body and about the size of its headers
    sentFor.set(name, Math.max(sentFor.get(name) || 0, body.length + 250));
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

async function launch(extra = []) {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "perna-bench-"));
  const browser = await puppeteer.launch({
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync", `--user-data-dir=${profile}`, ...extra],
  });
  return { browser, done: async () => { await browser.close(); fs.rmSync(profile, { recursive: true, force: true }); } };
}

const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];
const screenIs = (page, screens) => page.waitForFunction((screens) => {
  try { return screens.includes(window.perna.state()?.screen); } catch (error) { return false; }
}, { polling: 5, timeout: 60000 }, screens);

// One cold visit: the title's time, and with `play` the first question's card and the question.
async function visit(origin, network, address, play) {
  const { browser, done } = await launch();
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 412, height: 823, deviceScaleFactor: 2 });
    const session = await page.createCDPSession();
    await session.send("Network.enable");
    if (network) await session.send("Network.emulateNetworkConditions", network);
    sent = 0;
    sentFor.clear();
    // What the page asked for, from the server or from its service worker.
    const asked = new Set();
    page.on("request", (request) => asked.add(decodeURIComponent(new URL(request.url()).pathname)));
    await page.goto(`${origin}/${address}`, { waitUntil: "domcontentloaded" });
    await page.waitForFunction(() => window.perna && window.perna.titleShownAt > 0, { polling: 5, timeout: 60000 });
    const result = { title: await page.evaluate(() => perna.titleShownAt) };
    if (play === "tap") {
      const box = await (await page.$("#screen")).boundingBox();
      await page.mouse.click(box.x + box.width / 2, box.y + box.height / 2);
    }
    if (play) {
      await screenIs(page, ["QuestionIntro"]);
      result.card = await page.evaluate(() => performance.now());
      await screenIs(page, ["RevealQuestion", "Answering"]);
      // The question is there once its text is drawn, not when the game moved on to it.
      await page.waitForFunction(() => !(window.perna.textPending && window.perna.textPending()), { polling: 5, timeout: 60000 });
      result.question = await page.evaluate(() => performance.now());
      // The first question is ready to answer once its choices are drawn with no piece of the font awaited.
      await page.waitForFunction(() => window.perna.state()?.screen === "Answering" && !window.perna.textPending(),
        { polling: 5, timeout: 60000 });
      result.choices = await page.evaluate(() => performance.now());
      // The service worker copies the rest once the player waits on nothing: its requests are not
      // the page's, so its being ready is what tells they are done.
      await page.evaluate(() => Promise.race([navigator.serviceWorker.ready, new Promise((resolve) => setTimeout(resolve, 20000))]));
      // Whatever else the visit fetches (sounds, the service worker's copies) before it settles.
      await page.waitForNetworkIdle({ idleTime: 1500, timeout: 60000 }).catch(() => {});
      await new Promise((resolve) => setTimeout(resolve, 1500));
      result.bytes = sent;
      result.used = [...asked].reduce((sum, name) => sum + (sentFor.get(name === "/" ? "/index.html" : name) || 0), 0);
    }
    return result;
  } finally {
    await done();
  }
}

async function installability(origin) {
  const { browser, done } = await launch();
  try {
    const page = await browser.newPage();
    await page.goto(`${origin}/index.html`);
    await page.evaluate(() => window.perna.ready);
    const registered = await page.evaluate(() => ("serviceWorker" in navigator) &&
      Promise.race([navigator.serviceWorker.ready.then(() => true), new Promise((resolve) => setTimeout(() => resolve(false), 20000))]));
    const session = await page.createCDPSession();
    const { installabilityErrors } = await session.send("Page.getInstallabilityErrors");
    return { registered, errors: installabilityErrors.map((error) => error.errorId) };
  } finally {
    await done();
  }
}

async function lighthouseScores(origin) {
  const { default: lighthouse } = await import(require.resolve("lighthouse"));
  const port = 9300 + Math.floor(Math.random() * 500);
  const { browser, done } = await launch([`--remote-debugging-port=${port}`]);
  try {
    const result = await lighthouse(`${origin}/index.html`, { port, output: "json", logLevel: "error",
      onlyCategories: ["performance", "accessibility"] });
    const { categories, audits } = result.lhr;
    return { performance: Math.round(categories.performance.score * 100), accessibility: Math.round(categories.accessibility.score * 100),
      metrics: ["first-contentful-paint", "largest-contentful-paint", "total-blocking-time", "cumulative-layout-shift", "speed-index"]
        .map((id) => `${audits[id].title} ${audits[id].displayValue}`).join(", "),
      weight: audits["total-byte-weight"].displayValue,
      // How fast the machine ran the page: Lighthouse's slow-down by 4 assumes an idle desktop's
      // index of about 1000; a busy or slow machine scores its blocking time too high.
      benchmark: Math.round(result.lhr.environment.benchmarkIndex),
      long: (audits["long-tasks"].details?.items || []).map((item) => `${item.url.split("/").pop()}@${Math.round(item.startTime)}:${Math.round(item.duration)}`).join(" "),
      work: (audits["bootup-time"].details?.items || []).slice(0, 3).map((item) => `${item.url.split("/").pop()} ${Math.round(item.total)} ms`).join(", "),
      failing: Object.values(audits).filter((audit) => audit.score !== null && audit.score < 0.9 && audit.scoreDisplayMode === "binary").map((audit) => audit.id) };
  } finally {
    await done();
  }
}

async function main() {
  const server = await serve(site);
  const origin = `http://127.0.0.1:${server.address().port}`;
  const offersSample = fs.readFileSync(path.join(site, "index.html"), "utf8").includes("sample-hint");
  try {
    if (flags.includes("--lighthouse-only")) {
      const scores = await lighthouseScores(origin);
      console.log(`Lighthouse (mobile): performance ${scores.performance}, accessibility ${scores.accessibility}`);
      console.log(`Lighthouse metrics: ${scores.metrics}; ${scores.weight}; script time: ${scores.work}; ` +
        `machine's benchmark index ${scores.benchmark}, load average ${os.loadavg()[0].toFixed(1)} on ${os.cpus().length} cores`);
      console.log(`Lighthouse long tasks: ${scores.long}`);
      return;
    }
    const runs = async (network, address, play) => {
      const results = [];
      for (let i = 0; i < RUNS; ++i) results.push(await visit(origin, network, address, play));
      return (key) => Math.round(median(results.map((result) => result[key])));
    };
    const local = await runs(null, "index.html", null);
    console.log(`title, localhost, cold cache: ${local("title")} ms`);
    const fast = await runs(FAST_4G, "index.html?quiz=sample.kqd", "url");
    console.log(`title, Fast 4G: ${fast("title")} ms`);
    console.log(`first question's card, Fast 4G, ?quiz=sample.kqd: ${fast("card")} ms (its text: ${fast("question")} ms)`);
    console.log(`  its choices drawn, no piece of the font pending: ${fast("choices")} ms`);
    console.log(`  (from card to text is the game's own intro card, ${INTRO_TICKS} ticks of 50 ms, not loading)`);
    console.log(`bytes over the wire, first game: ${fast("used")} (${(fast("used") / 1024).toFixed(0)} KiB) for the files it used; ` +
      `${fast("bytes")} (${(fast("bytes") / 1024).toFixed(0)} KiB) with the service worker's offline copy of the rest`);
    if (offersSample) {
      const tap = await runs(FAST_4G, "index.html", "tap");
      console.log(`first question's card, Fast 4G, one tap on the title as it shows: ${tap("card")} ms (its text: ${tap("question")} ms)`);
      console.log(`  its choices drawn, no piece of the font pending: ${tap("choices")} ms`);
      console.log(`bytes over the wire, first game by one tap: ${tap("used")} for the files it used; ${tap("bytes")} with the offline copy`);
    }
    const install = await installability(origin);
    console.log(`installability: service worker ${install.registered ? "ready" : "absent"}; errors: ${install.errors.length === 0 ? "none" : install.errors.join(", ")}`);
    if (!flags.includes("--no-lighthouse")) {
      const scores = await lighthouseScores(origin);
      console.log(`Lighthouse (mobile): performance ${scores.performance}, accessibility ${scores.accessibility}`);
      console.log(`Lighthouse metrics: ${scores.metrics}; ${scores.weight}; script time: ${scores.work}; ` +
        `machine's benchmark index ${scores.benchmark}, load average ${os.loadavg()[0].toFixed(1)} on ${os.cpus().length} cores`);
      if (scores.failing.length > 0) console.log(`Lighthouse audits failed: ${scores.failing.join(", ")}`);
    }
  } finally {
    server.close();
  }
}

main().catch((error) => {
  console.error(`web bench: ${error.stack || error}`);
  process.exit(1);
});
