// Each fact the page shares with the game is defined once, in the C++ headers or the version's
// CMake file, and reaches the page only through the generated constants.js: no source of the
// page may spell a command id, sound or bitmap id, the tick, a key code, a message of the game or
// the version itself. The further files and folders (the web build's CMakeLists.txt, the shared
// game's pages) are held to the same rules.
// Usage: node facts_once.mjs PAGE-SOURCES BUILT-MODULES [FILE-OR-FOLDER...]   (BUILT-MODULES holds constants.js)
import fs from "node:fs";
import path from "node:path";
import { pathToFileURL } from "node:url";

const [sources, modules, ...more] = process.argv.slice(2);
const facts = await import(pathToFileURL(path.join(modules, "constants.js")).href);
const word = (value) => new RegExp(`(?<![\\w.])${value}(?![\\w.])`);
const escape = (text) => text.replace(/[.*+?^${}()|[\]\\]/g, "\\$&");

const rules = [
  ...Object.values(facts.COMMAND).filter((id) => id > 1000).map((id) => [`command id ${id}`, word(id)]),
  ...facts.SOUND_IDS.map((id) => [`sound id ${id}`, new RegExp(`${word(id).source}|sounds/${id}\\b`)]),
  ...facts.BITMAP_IDS.map((id) => [`bitmap id ${id}`, new RegExp(`bitmaps/${id}\\b|drawBitmap\\(${id}\\b`)]),
  ["the tick's length", new RegExp(`(?:setInterval|setTimeout)\\([^)]*\\b${facts.TICK_MS}\\)|TICK_MS\\s*=`)],
  ["the name's length", new RegExp(`NAME_CHARS\\s*=|maxlength="${facts.NAME_CHARS}"`)],
  ...Object.values(facts.MESSAGE).map((text) => [`the message "${text}"`, new RegExp(escape(text))]),
  ["the version", new RegExp(`Version\\s+${escape(facts.VERSION)}\\b|["'\`]${escape(facts.VERSION)}["'\`]`)],
  ...Object.values(facts.GAME_KEYS || {}).map((code) => [`key code ${code}`,
    new RegExp(`\\b0x0*${code.toString(16)}\\b`, "i")]),
];

const checked = (folder) => fs.readdirSync(folder).filter((file) => /\.(js|html|in|webmanifest|css)$/.test(file))
  .map((file) => path.join(folder, file));
const files = [sources, ...more].flatMap((entry) => (fs.statSync(entry).isDirectory() ? checked(entry) : [entry]));

let found = 0;
for (const file of files) {
  const name = path.relative(path.dirname(sources), file);
  const comment = file.endsWith(".txt") ? "#" : "//";  // CMake's comments start with #
  const lines = fs.readFileSync(file, "utf8").split("\n");
  lines.forEach((line, index) => {
    if (line.trim().startsWith(comment)) return;  // a comment may name what it explains
    for (const [fact, pattern] of rules) {
      if (!pattern.test(line)) continue;
      console.error(`${name}:${index + 1}: ${fact} is copied here; take it from its header (through constants.js on the page)`);
      found += 1;
    }
  });
}
console.log(`${rules.length} facts checked in ${files.length} files: ${found === 0 ? "each defined once" : `${found} copies`}`);
process.exit(found === 0 ? 0 : 1);
