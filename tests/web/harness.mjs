// What the browser tests share: checks that count their failures, a static server on loopback,
// a poll with a deadline, Debian's Chromium started headless with a profile of its own, the run of
// a test in both, and the right answers of a question table.
import fs from "node:fs";
import http from "node:http";
import { createRequire } from "node:module";
import os from "node:os";
import path from "node:path";

let failures = 0;

export function check(ok, what) {
  console.log(`${ok ? "ok" : "FAIL"}: ${what}`);
  if (!ok) failures += 1;
  return ok;
}

export const failureCount = () => failures;

// Ends the test with the count of failed checks, `summary` (if any) before it.
export function finish(summary = "") {
  console.log(`${summary}${failures === 0 ? "passed" : `${failures} checks failed`}`);
  process.exit(failures === 0 ? 0 : 1);
}

const TYPES = { ".html": "text/html; charset=utf-8", ".js": "text/javascript", ".wasm": "application/wasm",
  ".css": "text/css", ".woff2": "font/woff2", ".bmp": "image/bmp", ".wav": "audio/wav", ".png": "image/png",
  ".webmanifest": "application/manifest+json" };

// Serves the files under `folder` on 127.0.0.1 (`port` 0: any free one), and nothing outside it.
export function serve(folder, port = 0) {
  const root = path.resolve(folder);
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, "http://127.0.0.1").pathname);
    const file = path.join(root, path.normalize(name === "/" ? "/index.html" : name));
    fs.readFile(file, (error, data) => {
      if (error || !file.startsWith(root + path.sep)) {
        response.writeHead(404);
        response.end();
        return;
      }
      response.writeHead(200, { "Content-Type": TYPES[path.extname(file)] || "application/octet-stream" });
      response.end(data);
    });
  });
  return new Promise((resolve) => server.listen(port, "127.0.0.1", () => resolve(server)));
}

export const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

export async function waitFor(what, probe, timeoutMs = 10000) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await probe();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await sleep(20);
  }
}

// puppeteer-core as the test's own npm folder holds it.
export function puppeteerFrom(modulesDir) {
  return createRequire(path.join(path.resolve(modulesDir), "package.json"))("puppeteer-core");
}

export function launchChromium(modulesDir, profile, extraArgs = []) {
  return puppeteerFrom(modulesDir).launch({
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
      `--user-data-dir=${profile}`, ...extraArgs],
  });
}

// Serves `site` on loopback, starts Chromium with a profile of its own and runs
// `body(browser, origin)`; then closes both and ends the test with the count of failed checks.
// An error thrown fails the test.
export async function runInBrowser(site, modulesDir, body) {
  try {
    const server = await serve(site);
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), "perna-chromium-"));
    const browser = await launchChromium(modulesDir, profile);
    try {
      await body(browser, `http://127.0.0.1:${server.address().port}`);
    } finally {
      await browser.close();
      server.close();
      fs.rmSync(profile, { recursive: true, force: true });
    }
  } catch (error) {
    console.error(`FAIL: ${error.stack || error}`);
    process.exit(1);
  }
  finish();
}

// The right answer of each question of a question table (TSV): its third column, by its text.
export function rightAnswersOf(table) {
  const answers = new Map();
  for (const line of fs.readFileSync(table, "utf8").split("\n")) {
    const cells = line.split("\t");
    if (cells.length >= 7 && !line.startsWith("#")) answers.set(cells[1], cells[2]);
  }
  return answers;
}
