// Quiz files into the game: the picker, the kept recent files, the sample and ?quiz= addresses
// are placed in the module's file system and handed to the game, and what the game accepts is
// kept as the newest of the last files (quizfiles.js).
import { showMessage } from "./dialogs.js";
import { callGame, game } from "./game.js";
import { QuizFiles } from "./quizfiles.js";
import { Sample, fetchSiteFile } from "./sample.js";

// A quiz file lives at a path made of its name alone, so that opening the same file again finds
// its missed list; a file is placed there only once the game's check accepts it, so a refused
// one never replaces the file a running game reads.
const QUIZ_FOLDER = "/quiz";
const STAGING_FOLDER = "/staging";

let pendingOpens = [];   // quiz files ({ name, bytes, chosen }) chosen while the game could not take them
let stagedName = "";     // the name of the quiz file last checked in STAGING_FOLDER
let stagedPath = "";     // where it was checked, under its own name so that a refusal names it
// True while the game waits for the picker; a picker opened from the page's menu or hint hands
// its file over instead, since the game asked for nothing.
let fileRequested = false;
const listeners = [];

// `changed` runs whenever the list of kept files changes.
export function onFilesChanged(changed) {
  listeners.push(changed);
}

export function quizPath(name) {
  const safe = name.replace(/\//g, "_");
  return `${QUIZ_FOLDER}/${safe === "" || safe === "." || safe === ".." ? "quiz.kqd" : safe}`;
}

export function baseName(path) {
  return path.slice(path.lastIndexOf("/") + 1);
}

export function openQuizBytes(name, bytes, chosen = false) {
  pendingOpens.push({ name, bytes, chosen });
  deliverPendingOpens();
}

export function deliverPendingOpens() {
  while (pendingOpens.length > 0 && game.ready) {
    const { name, bytes, chosen } = pendingOpens.shift();
    const path = placeQuizFile(name, bytes);
    // The picker's file answers the game's open dialog; any other is handed over.
    callGame((module) => module.ccall(chosen ? "pp_web_choose_file" : "pp_web_open", null, ["string"], [path]));
  }
}

// Where the game opens a quiz file: at its name's path when it passes the check, otherwise
// where the game finds it only to refuse it with its own message.
function placeQuizFile(name, bytes) {
  const FS = game.module.FS;
  FS.mkdirTree(STAGING_FOLDER);
  if (stagedPath) FS.unlink(stagedPath);
  stagedPath = STAGING_FOLDER + quizPath(name).slice(QUIZ_FOLDER.length);
  FS.writeFile(stagedPath, bytes);
  stagedName = name;
  if (!game.module.ccall("pp_web_quiz_accepted", "number", ["string"], [stagedPath])) return stagedPath;
  const path = quizPath(name);
  FS.mkdirTree(QUIZ_FOLDER);
  FS.writeFile(path, bytes);
  return path;
}

// The game has opened a quiz file, or refused one: an accepted file's bytes are kept as the
// newest of the last files, and a refused one leaves that list under its name, as on the desktop.
export function quizFileOpened(path, accepted) {
  const name = path === stagedPath ? stagedName : baseName(path);
  if (accepted) {
    let bytes = null;
    try { bytes = game.module.FS.readFile(path); } catch (error) { return; }
    QuizFiles.remember(name, bytes);
  } else {
    QuizFiles.forget(name);
  }
  for (const changed of listeners) changed();
}

// The title's restart after a reload: the newest kept file, written into the module's file system
// before the game starts. On a first visit that is the bundled sample, so that a tap on the title
// plays at once.
export function lastQuizFile() {
  const newest = QuizFiles.list()[0];
  if (newest) return quizPath(newest.name);
  return Sample.available() ? quizPath(Sample.NAME) : "";
}

export function restoreQuizFiles() {
  const FS = game.module.FS;
  FS.mkdirTree(QUIZ_FOLDER);
  if (QuizFiles.list().length === 0 && Sample.available()) FS.writeFile(quizPath(Sample.NAME), Sample.bytes());
  for (const file of QuizFiles.list()) FS.writeFile(quizPath(file.name), file.bytes);
}

// Browsers show a file picker only right after the player's own key or tap, which is when the
// title asks.
export function chooseQuizFile() {
  document.getElementById("quiz-file").click();
}

// The game's open dialog: the picker's answer goes back to the game as its answer.
export function requestQuizFile() {
  fileRequested = true;
  chooseQuizFile();
}

// Whether the picker's answer is the game's, which it is once only.
export function takeFileRequest() {
  const asked = fileRequested;
  fileRequested = false;
  return asked;
}

export function openRecentFile(index) {
  const file = QuizFiles.list()[index];
  if (file) openQuizBytes(file.name, file.bytes);
}

// A question table a teacher keeps, which the page builds into a quiz (sheets.js, fetched only
// when one is opened) rather than handing it to the game.
export const isQuestionTable = (name) => /\.(xlsx|ods|csv|tsv)$/i.test(name);

export async function openQuizFile(file, chosen = false) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  if (!isQuestionTable(file.name)) {
    openQuizBytes(file.name, bytes, chosen);
    return;
  }
  const { openTable } = await import("./sheets.js");
  // The quiz keeps the table's name, so the last files list the table the teacher opened.
  const report = await openTable(file.name, bytes, (name, quiz) => openQuizBytes(name, quiz, chosen), chooseQuizFile);
  // A table with errors answers the game's open dialog as a cancel: the report says why.
  if (!report.built && chosen) callGame((module) => module._pp_web_cancel_file());
}

// "表として書き出す...": the quiz the game opened last, as a spreadsheet to edit.
export async function exportOpenQuiz() {
  const newest = QuizFiles.list()[0];
  const { exportQuiz } = await import("./sheets.js");
  const problem = await exportQuiz(newest ? newest.name : Sample.NAME, newest ? newest.bytes : Sample.bytes());
  if (problem) showMessage(problem, "ポケットペルナ");
}

export function openSample() {
  openQuizBytes(Sample.NAME, Sample.bytes());
}

// ?quiz=URL: a quiz file of the same site, fetched as soon as the page starts (sharing the
// sample's fetch when it names the sample) and opened once the game can take it. Anything that
// cannot be fetched opens as an empty file, so the game refuses it with its own message.
export async function readQuizFromUrl(address) {
  let bytes = null;
  let name = "quiz.kqd";
  try {
    const url = new URL(address, location.href);
    name = decodeURIComponent(url.pathname.split("/").pop() || name);
    if (url.origin === location.origin) bytes = await fetchSiteFile(url);
  } catch (error) {
    // A malformed address: the empty file stands for it.
  }
  return { name, bytes: bytes || new Uint8Array(0) };
}
