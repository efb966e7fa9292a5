// Checks the game's scheduler against ts-fsrs, the reference FSRS implementation, on random
// review histories: the same due day after every review. ts-fsrs runs its long-term scheduler
// (no same-day learning steps, no fuzz), which is what a game that schedules whole days uses.
// Usage: node compare_fsrs.mjs NPM-DIR SCHEDULE-INTERVALS [HISTORIES]
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import path from 'node:path';

const [npmDir, tool, countText] = process.argv.slice(2);
const require = createRequire(path.join(npmDir, 'package.json'));
const { fsrs, createEmptyCard, generatorParameters } = require('ts-fsrs');

const histories = Number(countText ?? 1000);
// A small seeded generator, so that a failure names a history that comes back next time.
let seed = 20260401;
const random = () => {
  seed = (seed * 1103515245 + 12345) % 2147483648;
  return seed / 2147483648;
};

const scheduler = fsrs(generatorParameters({ enable_short_term: false, enable_fuzz: false }));
const dayMs = 86400000;
const lines = [];
const expected = [];
for (let h = 0; h < histories; ++h) {
  const reviews = 1 + Math.floor(random() * 12);
  let day = 20000 + Math.floor(random() * 400);
  let card = createEmptyCard(new Date(day * dayMs + dayMs / 2));
  const pairs = [];
  const dues = [];
  for (let r = 0; r < reviews; ++r) {
    const grade = 1 + Math.floor(random() * 4);
    const when = new Date(day * dayMs + dayMs / 2);
    card = scheduler.next(card, when, grade).card;
    pairs.push(`${day}:${grade}`);
    dues.push(Math.floor(card.due.getTime() / dayMs));
    // The next review comes on the same day, early, on time or late, or after months away
    // (where a forgotten memory can come out stronger than the one before).
    const due = dues[dues.length - 1];
    const choice = random();
    day = choice < 0.1 ? day
        : choice < 0.4 ? day + Math.floor(random() * (due - day + 1))
        : choice < 0.85 ? due + Math.floor(random() * 2 * (due - day + 1))
        : due + 30 + Math.floor(random() * 400);
  }
  lines.push(pairs.join(' '));
  expected.push(dues.join(' '));
}

const run = spawnSync(tool, [], { input: lines.join('\n') + '\n', encoding: 'utf8' });
if (run.status !== 0) {
  console.error(`${tool} failed: ${run.stderr}`);
  process.exit(1);
}
const got = run.stdout.trimEnd().split('\n');
let wrong = 0;
for (let i = 0; i < histories; ++i) {
  if (got[i] !== expected[i]) {
    if (++wrong <= 5) {
      console.error(`history ${i}: ${lines[i]}\n  ts-fsrs: ${expected[i]}\n  game:    ${got[i]}`);
    }
  }
}
const reviews = lines.reduce((sum, line) => sum + line.split(' ').length, 0);
if (wrong > 0) {
  console.error(`${wrong} of ${histories} histories differ`);
  process.exit(1);
}
console.log(`ok: ${histories} histories, ${reviews} reviews, the same due days as ts-fsrs`);
