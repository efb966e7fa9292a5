// Question tables in the page, on a phone's screen in Debian's headless Chromium: a CSV with
// mistakes dropped on the page gets the report with every problem by its cell while the game
// runs on; the spreadsheets of tests/sheets (XlsxWriter's, and Gnumeric's .ods of the same) build
// in the page into the very bytes kqd builds, and their refused cells are named alike; the
// template .xlsx dropped on the page plays at once; and ファイル > 表として書き出す... downloads
// it as an .xlsx that kqd builds into the same quiz.
//
// Usage: node open_tables.mjs SITE KQD MAKE-SHEETS NODE-MODULES-DIR OUTPUT-DIR
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";

import { check, runInBrowser, sleep, waitFor } from "./harness.mjs";

const [site, kqd, makeSheets, modulesDir, outDir] = process.argv.slice(2);

// Drops a file of `name` holding `bytes` on the page, as a file dragged from the desktop.
async function drop(page, name, bytes) {
  await page.evaluate((name, data) => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([new Uint8Array(data)], name));
    dispatchEvent(new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, name, [...bytes]);
}

const reportRows = (page) => page.$$eval("#sheet-problems tbody tr",
  (rows) => rows.map((row) => [...row.cells].map((cell) => cell.textContent)));

// Five different mistakes, one a row: an empty wrong answer, an empty question, two equal
// choices, a question too long, and a row one cell short; then a good row.
const MISTAKES = [
  "雑学,首都は？,東京,,大阪,京都,札幌",
  "雑学,,正解,誤り1,誤り2,誤り3,誤り4",
  "雑学,同じ答え,りんご,りんご,みかん,ぶどう,もも",
  `雑学,${"長".repeat(61)},A,B,C,D,E`,
  "雑学,短い行,A,B,C,D",
  "歴史,鎌倉幕府を開いたのは？,源頼朝,足利尊氏,徳川家康,織田信長,豊臣秀吉",
].join("\r\n") + "\r\n";

async function main() {
  fs.rmSync(outDir, { recursive: true, force: true });
  fs.mkdirSync(outDir, { recursive: true });
  const file = (name) => path.join(outDir, name);
  const template = file("問題集テンプレート.xlsx");
  execFileSync(kqd, ["template", "-o", template]);
  execFileSync(kqd, ["template", "-o", file("問題集テンプレート.ods")]);
  execFileSync(kqd, ["build", template, "-o", file("template.kqd")]);
  execFileSync("/usr/bin/python3", [makeSheets, outDir, ""]);
  execFileSync(kqd, ["build", file("expected.tsv"), "-o", file("expected.kqd")]);
  // Gnumeric reads back Excel's "\r\n" in a cell as "_x000D_" and a line break: its sheet is made
  // with plain line breaks, as tests/sheets makes it.
  fs.mkdirSync(file("lf"));
  execFileSync("/usr/bin/python3", [makeSheets, file("lf"), "lf"]);
  execFileSync("ssconvert", [file("lf/shown.xlsx"), file("gnumeric.ods")], { stdio: "ignore" });
  execFileSync("/usr/bin/python3", [path.join(path.dirname(makeSheets), "../web/doctor_sheets.py"), file("shown.xlsx"),
    file("gnumeric.ods"), file("doctored.xlsx"), file("doctored.ods")]);
  for (const name of ["doctored.xlsx", "doctored.ods"]) execFileSync(kqd, ["build", file(name), "-o", file(`${name}.kqd`)]);
  await runInBrowser(site, modulesDir, async (browser, origin) => {
    const page = await browser.newPage();
    page.on("pageerror", (error) => check(false, `the page throws no error (${error.message})`));
    await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 1, isMobile: true, hasTouch: true });
    const fetched = [];
    page.on("request", (request) => fetched.push(new URL(request.url()).pathname));
    await page.goto(`${origin}/index.html?clock=manual&seed=7`);
    await page.evaluate(() => perna.ready);
    check(!fetched.some((name) => /sheets|fflate/.test(name)), "the page fetches nothing of quiz making before a table is opened");

    await drop(page, "間違いだらけ.csv", Buffer.from(MISTAKES, "utf8"));
    await waitFor("the report", () => page.$eval("#sheet-report", (dialog) => dialog.open).catch(() => false));
    const rows = await reportRows(page);
    const errors = rows.filter((row) => row[1] === "誤り");
    check(errors.length === 5, `the report lists all five mistakes (${JSON.stringify(rows)})`);
    const places = errors.map((row) => row[0]).join(" ");
    check(/D1\b/.test(places) && /B2\b/.test(places) && /3/.test(places) && /B4\b/.test(places) && /5/.test(places),
      `each mistake is named by its cell or row, in table order (${places})`);
    check(errors.every((row) => /[ぁ-んァ-ヶ一-龠]/.test(row[2])), "the mistakes are told in Japanese");
    check(rows.some((row) => row[2].includes("全角58文字") && row[2].includes("全角61文字")),
      "a question too long says its length in characters");
    const summary = await page.$eval("#sheet-report .summary", (text) => text.textContent);
    check(summary.includes("「間違いだらけ.csv」には誤りが 5 件"), `the summary counts the mistakes (${summary})`);
    check(await page.$("#sheet-report-again") !== null && await page.$("#sheet-report-save") === null,
      "a table with mistakes offers 開き直す, not 問題集として保存...");
    check(await page.evaluate(() => perna.dialogsOpen() === 0 && !perna.clockHeld() &&
      !document.getElementById("sheet-report").matches(":modal")), "the game runs on, and takes taps, while the report is shown");
    check((await page.evaluate(() => perna.state())).screen === "Title", "a table with mistakes is not played");
    await (await page.$("#sheet-report")).screenshot({ path: path.join(outDir, "sheet-report-phone.png") });

    // Each table as the page builds it, against the quiz kqd builds.
    const build = (name) => page.evaluate(async (name, data) => {
      const { buildTable } = await import("./sheets.js");
      const report = await buildTable(name, new Uint8Array(data));
      return { ...report, quiz: report.quiz ? [...report.quiz] : null };
    }, name, [...fs.readFileSync(file(name))]);
    const same = (report, kqdFile) => report.built && Buffer.compare(Buffer.from(report.quiz), fs.readFileSync(file(kqdFile))) === 0;
    for (const [name, kqdFile] of [["shown.xlsx", "expected.kqd"], ["sheets.xlsx", "expected.kqd"],
      ["gnumeric.ods", "expected.kqd"], ["問題集テンプレート.ods", "template.kqd"], ["doctored.xlsx", "expected.kqd"],
      ["doctored.ods", "expected.kqd"]]) {
      const report = await build(name);
      if (!check(same(report, kqdFile), `${name} builds in the page into kqd's quiz (${JSON.stringify(report.problems)})`)) {
        if (report.quiz) fs.writeFileSync(file(`${name}.page.kqd`), Buffer.from(report.quiz));
      }
    }
    const refused = await build("mistakes.xlsx");
    const named = refused.problems.filter((problem) => problem.error).map((problem) => problem.place).join(" ");
    check(!refused.built && named === "問題!D1 問題!E2 問題!F3 問題!G4 問題!E5",
      `a formula without its result, unshowable formats, an empty and a repeated answer are refused by cell (${named})`);

    await drop(page, "問題集テンプレート.xlsx", fs.readFileSync(template));
    await waitFor("the template's quiz", async () => (await page.evaluate(() => perna.state())).screen === "QuestionIntro");
    check(true, "the template .xlsx dropped on the page plays at once");
    check(fetched.includes("/fflate.js") && fetched.includes("/pocketperna-sheets.wasm"),
      "the zip reader and the quiz makers' module come once a table is opened");
    check(await page.$eval("#sheet-report", (dialog) => !dialog.open), "the old report closes once a table builds");
    check(await page.$eval("#recent-1", (item) => item.title === "問題集テンプレート.xlsx"),
      "the last files keep the table's name");
    const played = await page.evaluate(() => [...Module.FS.readFile("/quiz/問題集テンプレート.xlsx")]);
    check(Buffer.compare(Buffer.from(played), fs.readFileSync(file("template.kqd"))) === 0, "the game plays kqd's quiz of the table");

    const session = await page.createCDPSession();
    await session.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: path.resolve(outDir) });
    const exported = template;
    fs.rmSync(exported);
    await page.evaluate(() => document.getElementById("command-export-sheet").click());
    await waitFor("the exported table", () => fs.existsSync(exported) && fs.statSync(exported).size > 0);
    await sleep(200);
    execFileSync(kqd, ["build", exported, "-o", file("exported.kqd")]);
    check(Buffer.compare(fs.readFileSync(file("template.kqd")), fs.readFileSync(file("exported.kqd"))) === 0,
      "表として書き出す... downloads an .xlsx that builds into the same quiz");
  });
}

main().catch((error) => {
  console.error(error);
  process.exit(1);
});
