// The player's history on the page: every judged answer with the question's review card, and
// every finished game, per quiz file (the key the game makes from its fingerprint), kept in
// IndexedDB. The game's core schedules and counts; this module only keeps rows. IndexedDB answers
// later, so the cards of every quiz file are read before the game starts, a quiz file's answers
// and games only when the progress window or the export needs them, and each change is written
// in the background, in the order made. Storage that fails leaves the rows in memory for this
// visit and names its cause to the game, which tells the player once.

const DATABASE = "pocketperna-history";
const CARDS = "cards";
const ANSWERS = "answers";
const GAMES = "games";
// The game's row kinds and widths, as WebHistory.cpp hands them over.
export const ROWS = { CARDS: 0, ANSWERS: 1, GAMES: 2 };
const CARD_WIDTH = 7;
const ANSWER_WIDTH = 6;
const GENRES = 8;
const GAME_WIDTH = 3 + 2 * GENRES;
const OPEN_WAIT_MS = 5000;
// The causes the game knows (HistoryProblem).
export const PROBLEM = { NONE: 0, LOCKED: 2, FULL: 4, UNAVAILABLE: 5 };

// The cause of a storage failure, as the player is told it.
export function problemOf(error) {
  const name = error && error.name;
  if (name === "QuotaExceededError") return PROBLEM.FULL;
  if (name === "BlockedError") return PROBLEM.LOCKED;
  return PROBLEM.UNAVAILABLE;
}

const isCount = (value) => Number.isInteger(value) && value >= 0;
const numbers = (row, width) => Array.isArray(row) && row.length === width && row.every(Number.isFinite);

// A stored record as the game's row of numbers, or null for one that is not whole.
export function cardRow(record) {
  if (!record || typeof record.quiz !== "string" || !isCount(record.question)) return null;
  const row = [record.question, record.stability, record.difficulty, record.lastDay, record.dueDay, record.reps, record.lapses];
  return numbers(row, CARD_WIDTH) ? row : null;
}

export function answerRow(record) {
  if (!record || typeof record.quiz !== "string") return null;
  const row = [record.day, record.question, record.genre, record.choice, record.right ? 1 : 0, record.timeLeft];
  return numbers(row, ANSWER_WIDTH) ? row : null;
}

export function gameRow(record) {
  if (!record || typeof record.quiz !== "string" || !numbers(record.correct, GENRES) || !numbers(record.answered, GENRES)) {
    return null;
  }
  const row = [record.day, record.mode, record.score, ...record.correct, ...record.answered];
  return numbers(row, GAME_WIDTH) ? row : null;
}

function request(operation) {
  return new Promise((resolve, reject) => {
    operation.onsuccess = () => resolve(operation.result);
    operation.onerror = () => reject(operation.error);
  });
}

function openDatabase() {
  return new Promise((resolve, reject) => {
    const opening = indexedDB.open(DATABASE, 1);
    opening.onupgradeneeded = () => {
      const database = opening.result;
      database.createObjectStore(CARDS, { keyPath: ["quiz", "question"] }).createIndex("quiz", "quiz");
      database.createObjectStore(ANSWERS, { autoIncrement: true }).createIndex("quiz", "quiz");
      database.createObjectStore(GAMES, { autoIncrement: true }).createIndex("quiz", "quiz");
    };
    opening.onsuccess = () => resolve(opening.result);
    opening.onerror = () => reject(opening.error);
    // Another tab holds an older version open: it is another copy of the game using the file.
    opening.onblocked = () => reject(Object.assign(new Error("the history is held by another tab"), { name: "BlockedError" }));
  });
}

// One store of the page; tests make their own.
export function makeHistory() {
  let database = null;
  let quiz = "";
  let problem = PROBLEM.NONE;
  // Per quiz key: { cards: Map(question -> row), answers: rows or null until read, games: the same,
  // arriving: the rows made while they are being read }.
  const quizzes = new Map();
  let writes = 0;
  let settled = [];

  const entry = (key) => {
    if (!quizzes.has(key)) {
      const read = database === null ? [] : null;
      quizzes.set(key, { cards: new Map(), answers: read, games: read === null ? null : [], arriving: null });
    }
    return quizzes.get(key);
  };

  const fail = (error) => {
    if (problem === PROBLEM.NONE) problem = problemOf(error);
  };

  // Transactions over the same stores run in the order they are made, so each change is made at
  // once and the browser keeps the order; the page only counts them to say when all are done.
  function write(stores, change) {
    if (database === null) return;
    let transaction;
    try {
      transaction = database.transaction(stores, "readwrite");
      change(transaction);
    } catch (error) {
      fail(error);
      return;
    }
    writes += 1;
    const done = () => {
      writes -= 1;
      if (writes === 0) for (const resolve of settled.splice(0)) resolve();
    };
    transaction.oncomplete = done;
    transaction.onabort = () => { fail(transaction.error); done(); };
  }

  return {
    // Reads every quiz file's cards; without storage the history lives for this visit, and the
    // player hears why with the first quiz file opened.
    async load() {
      try {
        if (typeof indexedDB === "undefined") throw new Error("no IndexedDB");
        // A browser that never answers must not hold the game back: it counts as refusing.
        const opening = openDatabase();
        const late = new Promise((_, reject) => setTimeout(() => reject(new Error("no answer from IndexedDB")), OPEN_WAIT_MS));
        database = await Promise.race([opening, late]).catch((error) => {
          opening.then((opened) => opened.close(), () => {});
          throw error;
        });
        // A newer page elsewhere wants the database: this one lets go rather than block it, and
        // the player hears that what follows is not kept.
        database.onversionchange = () => {
          database.close();
          database = null;
          fail({ name: "BlockedError" });
        };
        const cards = await request(database.transaction(CARDS).objectStore(CARDS).getAll());
        for (const record of cards) {
          const row = cardRow(record);
          if (row) entry(record.quiz).cards.set(row[0], row);
        }
      } catch (error) {
        database = null;
        fail(error);
      }
    },

    select(key) {
      quiz = key;
      entry(key);
    },

    selected: () => quiz,

    // The selected quiz file's rows of `kind`, one flat list of numbers.
    rows(kind) {
      const kept = entry(quiz);
      if (kind === ROWS.CARDS) return [...kept.cards.values()].flat();
      const rows = kind === ROWS.ANSWERS ? kept.answers : kept.games;
      return rows === null ? [] : rows.flat();
    },

    recordAnswer(values) {
      const answer = values.slice(0, ANSWER_WIDTH);
      const card = values.slice(ANSWER_WIDTH, ANSWER_WIDTH + CARD_WIDTH);
      const kept = entry(quiz);
      kept.cards.set(card[0], card);
      if (kept.answers) kept.answers.push(answer);
      if (kept.arriving) kept.arriving.answers.push(answer);
      const key = quiz;
      // The answer and its card together, or neither.
      write([ANSWERS, CARDS], (transaction) => {
        const [day, question, genre, choice, right, timeLeft] = answer;
        transaction.objectStore(ANSWERS).add({ quiz: key, day, question, genre, choice, right: right !== 0, timeLeft });
        const [, stability, difficulty, lastDay, dueDay, reps, lapses] = card;
        transaction.objectStore(CARDS).put({ quiz: key, question: card[0], stability, difficulty, lastDay, dueDay, reps, lapses });
      });
    },

    recordGame(values) {
      const game = values.slice(0, GAME_WIDTH);
      const kept = entry(quiz);
      if (kept.games) kept.games.push(game);
      if (kept.arriving) kept.arriving.games.push(game);
      const key = quiz;
      write([GAMES], (transaction) => {
        transaction.objectStore(GAMES).add({ quiz: key, day: game[0], mode: game[1], score: game[2],
          correct: game.slice(3, 3 + GENRES), answered: game.slice(3 + GENRES) });
      });
    },

    // Reads the selected quiz file's answers and games, once a visit. The read comes after every
    // write made before it; what is recorded while it runs is added to what it finds.
    async loadRows() {
      const key = quiz;
      const kept = entry(key);
      if (kept.answers !== null && kept.games !== null) return;
      if (kept.arriving) return kept.arriving.done;
      if (database === null) {
        kept.answers = kept.answers || [];
        kept.games = kept.games || [];
        return;
      }
      const arriving = { answers: [], games: [], done: null };
      kept.arriving = arriving;
      arriving.done = (async () => {
        let answers = [];
        let games = [];
        try {
          const transaction = database.transaction([ANSWERS, GAMES]);
          [answers, games] = await Promise.all([
            request(transaction.objectStore(ANSWERS).index("quiz").getAll(key)),
            request(transaction.objectStore(GAMES).index("quiz").getAll(key)),
          ]);
        } catch (error) {
          fail(error);
        }
        kept.answers = [...answers.map(answerRow).filter(Boolean), ...arriving.answers];
        kept.games = [...games.map(gameRow).filter(Boolean), ...arriving.games];
        kept.arriving = null;
      })();
      return arriving.done;
    },

    // Resolves once every change made so far is stored (or failed).
    settled() {
      return writes === 0 ? Promise.resolve() : new Promise((resolve) => settled.push(resolve));
    },

    takeProblem() {
      const taken = problem;
      problem = PROBLEM.NONE;
      return taken;
    },
  };
}

export const History = makeHistory();
