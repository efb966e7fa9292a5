// A player joins a shared game from the browser build the host serves beside its own page: the
// join form, a question painted by the game's painter, the right answer with its points and
// place, and the final standings. The host serves that build's files and nothing around them,
// and its page shows the join address's QR code and the game's picture.
// Usage: node join_from_game.mjs POCKETPERNA QUIZ SAMPLE-TABLE NPM-DIR OUT-DIR
import { spawn } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import os from "node:os";
import path from "node:path";
import readline from "node:readline";

import { check, failureCount, launchChromium, rightAnswersOf } from "../web/harness.mjs";

const [program, quiz, table, modulesDir, outDir] = process.argv.slice(2);
fs.mkdirSync(outDir, { recursive: true });

const rightAnswers = rightAnswersOf(table);

async function startHost() {
  const host = spawn(program, ["--host", quiz, "--bind", "127.0.0.1", "--questions", "1"],
    { env: { ...process.env, QT_QPA_PLATFORM: "offscreen" }, stdio: ["ignore", "pipe", "ignore"] });
  const got = {};
  for await (const line of readline.createInterface({ input: host.stdout })) {
    const [, key, value] = line.match(/^(address|pin|host key) (\S+)$/) ?? [];
    if (key) got[key] = value;
    if (got["host key"]) break;
  }
  return { process: host, url: got.address, pin: got.pin, key: got["host key"], port: new URL(got.address).port };
}

// A request for `rawPath` exactly as written, which a browser would have tidied first.
function get(host, rawPath) {
  return new Promise((resolve) => {
    http.get({ host: "127.0.0.1", port: host.port, path: rawPath }, (response) => {
      let body = "";
      response.setEncoding("latin1");
      response.on("data", (chunk) => { body += chunk; });
      response.on("end", () => resolve({ status: response.statusCode, type: response.headers["content-type"], body }));
    }).on("error", () => resolve({ status: 0, body: "" }));
  });
}

async function files(host) {
  const page = await get(host, "/game/");
  check(page.status === 200 && page.type.startsWith("text/html"), `the game's page is served: ${page.status}`);
  const module = await get(host, "/game/pocketperna.wasm");
  check(module.status === 200 && module.type === "application/wasm", `the game's module is served as wasm: ${module.type}`);
  // The build folder around the site holds CMakeCache.txt: none of it may come out.
  for (const raw of ["/game/../CMakeCache.txt", "/game/%2e%2e/CMakeCache.txt", "/game/..%2fCMakeCache.txt",
    "/game//etc/passwd", "/game/fonts/../../CMakeCache.txt", "/gameindex.html"]) {
    const reply = await get(host, raw);
    check(reply.status === 404 && !reply.body.includes("CMAKE") && !reply.body.includes("root:"), `${raw} gave ${reply.status}`);
  }
  const qr = await get(host, "/qr.svg");
  check(qr.status === 200 && qr.type === "image/svg+xml" && qr.body.includes("<svg"), "the host serves the QR code");
}

// Shares of a picture in the verdict's blue (the game's circle for a right answer) and red (its
// cross, and the countdown's few pixels): the player's canvas, or the host's picture fetched anew.
function markShares(page, selector) {
  return page.$eval(selector, async (element) => {
    let canvas = element;
    if (element.tagName === "IMG") {
      const image = new Image();
      image.src = `/picture.png?at=${Date.now()}`;
      await image.decode();
      canvas = document.createElement("canvas");
      canvas.width = image.width;
      canvas.height = image.height;
      canvas.getContext("2d").drawImage(image, 0, 0);
    }
    const { data } = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height);
    let blue = 0;
    let red = 0;
    for (let i = 0; i < data.length; i += 4) {
      if (data[i] < 70 && data[i + 1] > 130 && data[i + 1] < 170 && data[i + 2] > 235) blue += 1;
      if (data[i] > 200 && data[i + 1] < 40 && data[i + 2] < 40) red += 1;
    }
    return { blue: blue / (data.length / 4), red: red / (data.length / 4) };
  });
}

async function main() {
  const host = await startHost();
  await files(host);
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "perna-join-"));
  const browser = await launchChromium(modulesDir, profile);
  try {
    const hostPage = await browser.newPage();
    await hostPage.goto(`${host.url}host#key=${host.key}`);
    await hostPage.waitForFunction((pin) => document.querySelector("#pin").textContent === `PIN ${pin}`,
      { polling: 100 }, host.pin);
    check(await hostPage.$eval("#qr", (img) => img.complete && img.naturalWidth > 0), "the host page shows the QR code");
    check(await hostPage.$eval("#address", (a) => a.textContent) === host.url, "the host page shows the join address");

    const player = await browser.newPage();
    await player.setViewport({ width: 390, height: 780, deviceScaleFactor: 2 });
    // Joined from the plain page's link, as a phone would find it.
    await player.goto(host.url);
    await player.waitForSelector("#game-link:not([hidden]) a");
    await Promise.all([player.waitForNavigation(), player.click("#game-link a")]);
    await player.waitForSelector("#party-join:not([hidden])", { timeout: 30000 });
    await player.type("#party-pin", host.pin);
    await player.type("#party-name", "みどり");
    await player.click("#party-join-button");
    await player.waitForFunction(() => document.querySelector("#party-me").textContent.includes("みどり"), { polling: 100 });
    await player.screenshot({ path: path.join(outDir, "game-lobby.png") });

    await hostPage.bringToFront();
    await hostPage.click('[data-action="start"]');
    await player.bringToFront();
    await player.waitForFunction(() => document.querySelectorAll("#party-choices button:not([disabled])").length === 5,
      { timeout: 15000, polling: 100 });
    const question = await player.evaluate(() => window.pernaParty.question);
    const want = rightAnswers.get(question.text);
    check(want !== undefined, `the picture's question is one of the quiz: ${question.text}`);
    const shown = await player.$$eval("#party-choices button", (buttons) => buttons.map((b) => b.textContent.replace(/^\d\. /, "")));
    check(JSON.stringify(shown) === JSON.stringify(question.choices), "the buttons are the host's choices in its order");
    await player.screenshot({ path: path.join(outDir, "game-question.png") });
    const open = await markShares(player, "#screen");
    check(open.blue === 0 && open.red < 0.01, `no verdict is drawn while the question is open: ${JSON.stringify(open)}`);
    await player.click(`#party-choices button[data-choice="${shown.indexOf(want) + 1}"]`);
    await player.waitForFunction(() => document.querySelector("#party-verdict").textContent !== "", { timeout: 15000, polling: 100 });
    const verdict = await player.$eval("#party-verdict", (v) => v.textContent);
    const points = Number(verdict.match(/\+(\d+)点/)?.[1] ?? 0);
    check(verdict.startsWith("○ 正解") && points > 0 && points <= 100 && points % 10 === 0, `the verdict: ${verdict}`);
    check(verdict.includes(`得点 ${points}点`) && verdict.includes("1位 / 1人"), `the score and place: ${verdict}`);
    check((await markShares(player, "#screen")).blue > 0.01, "the game's blue circle marks the right answer");
    await player.screenshot({ path: path.join(outDir, "game-result.png") });
    check((await markShares(hostPage, "#picture")).blue > 0.01, "the host's picture marks the right answer with the game's circle");
    // A reload comes back as the same player with the same score.
    await player.reload();
    await player.waitForFunction((p) => document.querySelector("#party-verdict").textContent.includes(`得点 ${p}点`),
      { timeout: 30000, polling: 100 }, points);
    check(await player.$eval("#party-me", (m) => m.textContent) === "みどり さん", "the reloaded page is the same player");

    await hostPage.bringToFront();
    await hostPage.screenshot({ path: path.join(outDir, "host-result.png") });
    await hostPage.click('[data-action="next"]');
    await player.bringToFront();
    await player.waitForFunction(() => !document.querySelector("#party-standings").hidden, { timeout: 15000, polling: 100 });
    const rows = await player.$$eval("#party-standings li", (items) => items.map((i) => i.textContent));
    check(rows.length === 1 && rows[0] === `1位 みどり ${points}点`, `the final standings: ${rows}`);
  } catch (error) {
    let n = 0;
    for (const page of await browser.pages()) await page.screenshot({ path: path.join(outDir, `failed-${n++}.png`) }).catch(() => {});
    throw error;
  } finally {
    await browser.close();
    host.process.kill("SIGTERM");
    fs.rmSync(profile, { recursive: true, force: true });
  }
  console.log(`${failureCount()} failures`);
  process.exit(failureCount() ? 1 : 0);
}

main().catch((error) => {
  console.log(`FAIL: ${error.stack}`);
  process.exit(1);
});
