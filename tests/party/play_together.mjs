// A whole shared game: the headless host, three players in headless Chromium and the host page,
// joins, right and wrong answers, one player reloading mid-game and keeping the score, and the
// final standings as the points each player was shown add up.
// Usage: node play_together.mjs POCKETPERNA QUIZ SAMPLE-TABLE NPM-DIR OUT-DIR
import { spawn } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import readline from "node:readline";

import { check, failureCount, launchChromium, rightAnswersOf } from "../web/harness.mjs";

const [program, quiz, table, modulesDir, outDir] = process.argv.slice(2);
fs.mkdirSync(outDir, { recursive: true });

const rightAnswers = rightAnswersOf(table);

async function startHost() {
  const host = spawn(program, ["--host", quiz, "--bind", "127.0.0.1", "--questions", "3"],
    { env: { ...process.env, QT_QPA_PLATFORM: "offscreen" }, stdio: ["ignore", "pipe", "ignore"] });
  const lines = readline.createInterface({ input: host.stdout });
  const got = {};
  for await (const line of lines) {
    const [, key, value] = line.match(/^(address|pin|host key) (\S+)$/) ?? [];
    if (key) got[key] = value;
    if (got["host key"]) break;
  }
  return { process: host, url: got.address, pin: got.pin, key: got["host key"] };
}

async function joinAs(browser, host, name) {
  console.log(`join: ${name}`);
  const page = await browser.newPage();
  await page.setViewport({ width: 390, height: 780, deviceScaleFactor: 1 });
  await page.goto(host.url);
  await page.waitForSelector("#join-form:not([hidden])");
  await page.type("#pin", host.pin);
  await page.type("#name", name);
  await page.click("#join");
  await page.waitForFunction((n) => document.querySelector("#me").textContent.includes(n), { polling: 100 }, name);
  return page;
}

async function waitQuestion(page, number) {
  await page.waitForFunction((n) => document.querySelector("#progress").textContent.startsWith(`第${n}問`) &&
    document.querySelectorAll("#choices button").length === 5, { timeout: 15000, polling: 100 }, number);
}

// Clicks the right choice, or the first wrong one.
async function answer(page, right) {
  await page.bringToFront();
  const texts = await page.$$eval("#choices button", (buttons) => buttons.map((b) => b.textContent.replace(/^\d\. /, "")));
  const question = await page.$eval("#question", (q) => q.textContent);
  const want = rightAnswers.get(question);
  check(want !== undefined, `the page shows a question of the quiz: ${question}`);
  const index = right ? texts.indexOf(want) : texts.findIndex((t) => t !== want);
  await page.click(`#choices button[data-choice="${index + 1}"]`);
  // Acknowledged, or already judged when this was the last answer the host waited for.
  await page.waitForFunction(() => document.querySelector("#choices .chosen") || !document.querySelector("#verdict").hidden,
    { polling: 100 });
}

// The verdict of the question just judged: the points the page shows, 0 for a miss.
async function verdict(page) {
  await page.waitForFunction(() => !document.querySelector("#verdict").hidden, { timeout: 15000, polling: 100 });
  await page.waitForFunction(() => document.querySelector("#mark").textContent !== "", { polling: 100 });
  const mark = await page.$eval("#mark", (m) => m.textContent);
  const points = await page.$eval("#points", (p) => p.textContent);
  return { right: mark.includes("正解") && !mark.includes("不正解"), points: Number(points.replace(/[^0-9]/g, "") || 0),
    score: Number(await page.$eval("#score", (s) => s.textContent)) };
}

async function hostClick(hostPage, action) {
  console.log(`host: ${action}`);
  await hostPage.bringToFront();
  await hostPage.click(`[data-action="${action}"]`);
}

// A tab in the background paints nothing (nor runs animation frames, so waits poll by time),
// and a picture of it would wait for ever.
async function picture(page, name) {
  await page.bringToFront();
  await page.screenshot({ path: path.join(outDir, name) });
}

async function main() {
  const host = await startHost();
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "perna-party-"));
  const browser = await launchChromium(modulesDir, profile);
  const totals = { あおい: 0, ゆうと: 0, はな: 0 };
  try {
    const hostPage = await browser.newPage();
    await hostPage.goto(`${host.url}host#key=${host.key}`);
    const players = {};
    for (const name of Object.keys(totals)) players[name] = await joinAs(browser, host, name);
    await hostPage.waitForFunction(() => document.querySelector("#status").textContent.includes("3 人"), { polling: 100 });
    await picture(players.はな, "phone-lobby.png");

    // What each player does on each question: true right, false wrong, null no answer.
    const plan = [
      { あおい: true, ゆうと: false, はな: true },
      { あおい: false, ゆうと: true, はな: null },
      { あおい: true, ゆうと: true, はな: true },
    ];
    await hostClick(hostPage, "start");
    for (let q = 1; q <= plan.length; q += 1) {
      console.log(`question ${q}`);
    for (const page of Object.values(players)) await waitQuestion(page, q);
      if (q === 1) await picture(players.あおい, "phone-question.png");
      for (const [name, right] of Object.entries(plan[q - 1])) {
        if (right !== null) await answer(players[name], right);
      }
      if (Object.values(plan[q - 1]).includes(null)) await hostClick(hostPage, "skip");
      for (const [name, right] of Object.entries(plan[q - 1])) {
        const seen = await verdict(players[name]);
        check(seen.right === (right === true), `${name}'s verdict on question ${q}`);
        check(right === true ? seen.points > 0 && seen.points <= 90 && seen.points % 10 === 0 : seen.points === 0,
          `${name}'s points on question ${q}: ${seen.points}`);
        totals[name] += seen.points;
        check(seen.score === totals[name], `${name}'s score after question ${q}: ${seen.score}, expected ${totals[name]}`);
      }
      if (q === 1) {
        await picture(players.あおい, "phone-result.png");
        // A reload comes back as the same player, with the same score.
        await players.ゆうと.reload();
        await players.ゆうと.waitForFunction(() => document.querySelector("#me").textContent.includes("ゆうと") &&
          !document.querySelector("#verdict").hidden, { polling: 100 });
        const score = Number(await players.ゆうと.$eval("#score", (s) => s.textContent));
        check(score === totals.ゆうと, `ゆうと keeps the score over a reload: ${score}`);
      }
      await hostClick(hostPage, "next");
    }
    const expected = Object.entries(totals).sort((a, b) => b[1] - a[1]);
    for (const [name, page] of Object.entries(players)) {
      await page.waitForFunction(() => !document.querySelector("#standings").hidden, { timeout: 15000, polling: 100 });
      const rows = await page.$$eval("#standings li", (items) => items.map((i) => i.textContent));
      check(rows.length === 3, `${name} sees all three in the final standings`);
      expected.forEach(([who, score], i) => {
        check(rows[i]?.includes(`${who} ${score}点`), `${name}'s standings row ${i + 1}: ${rows[i]} (expected ${who} ${score})`);
      });
    }
    await picture(players.あおい, "phone-final.png");
  } catch (error) {
    let n = 0;
    for (const page of await browser.pages()) await picture(page, `failed-${n++}.png`).catch(() => {});
    throw error;
  } finally {
    await browser.close();
    host.process.kill("SIGTERM");
    fs.rmSync(profile, { recursive: true, force: true });
  }
  console.log(`totals ${JSON.stringify(totals)}; ${failureCount()} failures`);
  process.exit(failureCount() ? 1 : 0);
}

main().catch((error) => {
  console.log(`FAIL: ${error.stack}`);
  process.exit(1);
});
