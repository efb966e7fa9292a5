// The page's history store and the progress window's data, under node's test runner: node has no
// IndexedDB, so the store runs as in a browser that refuses it, keeping the visit's rows in memory.
import assert from "node:assert/strict";
import path from "node:path";
import { describe, test } from "node:test";
import { pathToFileURL } from "node:url";

const load = (name) => import(pathToFileURL(path.join(process.env.PERNA_MODULES, name)).href);
const { History, PROBLEM, ROWS, answerRow, cardRow, gameRow, makeHistory, problemOf } = await load("history.js");
const { chartData, dayLabel } = await load("progress.js");

const card = (question, due) => [question, 2.5, 5, 20000, due, 1, 0];
const answer = (question, right) => [20000, question, question % 8, right ? 0 : 2, right ? 1 : 0, 120];

// Just enough of IndexedDB for one store of answers: each read sees what was written before it.
function fakeIndexedDB(answers) {
  const later = (request, result) => setTimeout(() => { request.result = result; request.onsuccess(); });
  const store = (name) => ({
    getAll() { const request = {}; later(request, []); return request; },
    index: () => ({ getAll(key) { const request = {}; later(request, answers.filter((row) => row.quiz === key)); return request; } }),
    add(row) { if (name === "answers") answers.push(row); },
    put() {},
  });
  const database = {
    createObjectStore: () => ({ createIndex() {} }),
    transaction() {
      const transaction = { objectStore: store };
      setTimeout(() => transaction.oncomplete && transaction.oncomplete());
      return transaction;
    },
    close() {},
  };
  return {
    open() {
      const request = { result: database };
      setTimeout(() => { request.onupgradeneeded(); request.onsuccess(); });
      return request;
    },
  };
}

describe("the history store", () => {
  test("without storage it says so once, and keeps the visit's rows per quiz file, the newest card per question", async () => {
    await History.load();
    assert.equal(History.takeProblem(), PROBLEM.UNAVAILABLE);
    assert.equal(History.takeProblem(), PROBLEM.NONE);
    History.select("a.kqd\n10\n00ff");
    History.recordAnswer([...answer(3, false), ...card(3, 20001)]);
    History.recordAnswer([...answer(3, true), ...card(3, 20004)]);
    History.recordGame([20000, 1, 170, ...Array(16).fill(1)]);
    History.select("b.kqd\n10\n00ff");
    assert.deepEqual(History.rows(ROWS.CARDS), []);
    History.select("a.kqd\n10\n00ff");
    await History.loadRows();
    assert.deepEqual(History.rows(ROWS.CARDS), card(3, 20004));
    assert.deepEqual(History.rows(ROWS.ANSWERS), [...answer(3, false), ...answer(3, true)]);
    assert.equal(History.rows(ROWS.GAMES).length, 19);
    await History.settled();
  });

  test("what is recorded while a quiz file's rows are being read is neither lost nor counted twice", async () => {
    const stored = [];
    globalThis.indexedDB = fakeIndexedDB(stored);
    try {
      const history = makeHistory();
      await history.load();
      history.select("a.kqd");
      history.recordAnswer([...answer(1, true), ...card(1, 20003)]);
      await history.settled();
      const reading = history.loadRows();
      history.recordAnswer([...answer(2, false), ...card(2, 20001)]);
      await reading;
      assert.deepEqual(history.rows(ROWS.ANSWERS), [...answer(1, true), ...answer(2, false)]);
      await history.settled();
      assert.equal(stored.length, 2);
      assert.equal(history.takeProblem(), PROBLEM.NONE);
    } finally {
      delete globalThis.indexedDB;
    }
  });

  test("a stored row that is not whole is left out, never handed to the game", () => {
    const quiz = "a.kqd";
    assert.deepEqual(cardRow({ quiz, question: 4, stability: 1.5, difficulty: 5, lastDay: 1, dueDay: 2, reps: 1, lapses: 0 }),
      [4, 1.5, 5, 1, 2, 1, 0]);
    assert.equal(cardRow({ quiz, question: -1, stability: 1, difficulty: 5, lastDay: 1, dueDay: 2, reps: 1, lapses: 0 }), null);
    assert.equal(cardRow({ quiz, question: 4, stability: NaN, difficulty: 5, lastDay: 1, dueDay: 2, reps: 1, lapses: 0 }), null);
    assert.equal(cardRow({ question: 4, stability: 1, difficulty: 5, lastDay: 1, dueDay: 2, reps: 1, lapses: 0 }), null);
    assert.deepEqual(answerRow({ quiz, day: 9, question: 1, genre: 2, choice: -1, right: false, timeLeft: 0 }), [9, 1, 2, -1, 0, 0]);
    assert.equal(answerRow({ quiz, day: "9", question: 1, genre: 2, choice: 0, right: true, timeLeft: 0 }), null);
    const counts = Array(8).fill(0);
    assert.equal(gameRow({ quiz, day: 9, mode: 0, score: 10, correct: counts, answered: counts }).length, 19);
    assert.equal(gameRow({ quiz, day: 9, mode: 0, score: 10, correct: counts.slice(1), answered: counts }), null);
  });

  test("a full store and another tab's hold are told as such, anything else as unavailable", () => {
    assert.equal(problemOf({ name: "QuotaExceededError" }), PROBLEM.FULL);
    assert.equal(problemOf({ name: "BlockedError" }), PROBLEM.LOCKED);
    assert.equal(problemOf({ name: "UnknownError" }), PROBLEM.UNAVAILABLE);
    assert.equal(problemOf(null), PROBLEM.UNAVAILABLE);
  });
});

describe("the progress window's data", () => {
  const empty = Array(8).fill(0);
  const progress = {
    today: 20452,  // 2025-12-30
    genres: ["歴史", "", "", "", "", "", "", ""],
    games: [{ day: 20450, mode: "game", score: 40 }, { day: 20451, mode: "study", score: 90 }],
    genreDays: [
      { day: 20450, right: [1, 0, ...empty.slice(2)], answered: [4, 0, ...empty.slice(2)] },
      { day: 20451, right: [0, 2, ...empty.slice(2)], answered: [0, 2, ...empty.slice(2)] },
    ],
    due: Array.from({ length: 14 }, (_, i) => i % 3),
    missed: [],
  };
  test("charts each genre answered by its share right, a day without answers as a gap", () => {
    const data = chartData(progress);
    assert.deepEqual(data.scores, [[1, 2], [40, 90]]);
    assert.deepEqual(data.genres.map((genre) => [genre.name, genre.values]), [["歴史", [25, null]], ["ジャンル2", [null, 100]]]);
    assert.deepEqual(data.days, [20450, 20451]);
  });
  test("names the days ahead by their day of the month across the month's end", () => {
    const data = chartData(progress);
    assert.deepEqual(data.dueDays.slice(0, 4), ["30", "31", "1", "2"]);
    assert.deepEqual(data.due[0], [0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13]);
    assert.equal(dayLabel(20452), "12/30");
  });
});
