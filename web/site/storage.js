// What the page keeps in the browser's storage: the settings file byte for byte as the game wrote
// it, the missed-question lists, and the page's own pause option. Without storage (a private
// window, say) the game plays on in memory.
import { MESSAGE } from "./constants.js";
import { game } from "./game.js";

const DOCUMENTS = "/documents";
export const SETTINGS_NAME = "ポケットペルナ.txt";
const SETTINGS_PATH = DOCUMENTS + "/" + SETTINGS_NAME;
const RECORDING_NAME = "対局.script";
const STORAGE_KEY = "pocketperna.settings";
// The missed-question lists, in a folder of their own as on the desktop, kept under their own key.
const MISSED_PATH = "/data/missed.json";
const MISSED_KEY = "pocketperna.missed";
// "ウィンドウが非アクティブのときは一時停止する": the page's own option, never in the settings file.
const PAUSE_KEY = "pocketperna.pauseWhenInactive";
// "同じ問題を出さない", on unless turned off: the page's own option too.
const NO_REPEATS_KEY = "pocketperna.noRepeats";

let storedSettings = null;
let storedMissed = null;
let refusalTold = false;
let pauseWhenInactive = true;
let noRepeats = true;
let tell = () => {};

// `message(text, caption)` tells the player of storage that refuses the settings.
export function setUpStorage(message) {
  tell = message;
}

export function toBase64(bytes) {
  let binary = "";
  for (const byte of bytes) binary += String.fromCharCode(byte);
  return btoa(binary);
}

export function fromBase64(text) {
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

export function settingsBytes() {
  try {
    return game.module.FS.readFile(SETTINGS_PATH);
  } catch (error) {
    return null;
  }
}

export function restoreSettings() {
  game.module.FS.mkdirTree(DOCUMENTS);
  try {
    storedSettings = localStorage.getItem(STORAGE_KEY);
    if (storedSettings) game.module.FS.writeFile(SETTINGS_PATH, fromBase64(storedSettings));
  } catch (error) {
    storedSettings = null;
  }
}

export function keepSettings() {
  const bytes = settingsBytes();
  if (!bytes) return;
  const encoded = toBase64(bytes);
  if (encoded === storedSettings) return;
  try {
    localStorage.setItem(STORAGE_KEY, encoded);
    storedSettings = encoded;
  } catch (error) {
    // Storage full or refused: the file stays in memory for this visit and can be downloaded;
    // the player hears of it once, as of a save that failed on the desktop.
    if (!refusalTold) tell(MESSAGE.SAVE_ERROR_TEXT, MESSAGE.SAVE_ERROR_CAPTION);
    refusalTold = true;
  }
}

// A settings file from a desktop or a handheld replaces this browser's, and the game starts
// again on it, as the desktop game would with the file copied into its Documents folder. The
// game reads any bytes as it reads the device's file: what it cannot use becomes the defaults.
export async function loadSettingsFile(file) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  try {
    localStorage.setItem(STORAGE_KEY, toBase64(bytes));
  } catch (error) {
    tell(`${MESSAGE.SAVE_ERROR_TEXT}\n${file.name}`, MESSAGE.SAVE_ERROR_CAPTION);
    return;
  }
  location.reload();
}

// Offers `bytes` as a download named `name`.
export function download(bytes, name) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
  link.download = name;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

export function downloadSettings() {
  const bytes = settingsBytes();
  if (bytes) download(bytes, SETTINGS_NAME);
}

// "この対局を保存...": the game so far as the core recorded it, a script quiz-replay plays again.
export function downloadRecording() {
  const text = game.module.UTF8ToString(game.module._pp_web_recording());
  download(new TextEncoder().encode(text), RECORDING_NAME);
}

// The missed-question lists as the game wrote them; a list that cannot be kept is no reason to
// trouble the player, as on the desktop.
export function restoreMissedLists() {
  game.module.FS.mkdirTree(MISSED_PATH.slice(0, MISSED_PATH.lastIndexOf("/")));
  try {
    storedMissed = localStorage.getItem(MISSED_KEY);
    if (storedMissed) game.module.FS.writeFile(MISSED_PATH, storedMissed);
  } catch (error) {
    storedMissed = null;
  }
}

export function keepMissedLists() {
  let text = null;
  try { text = game.module.FS.readFile(MISSED_PATH, { encoding: "utf8" }); } catch (error) { return; }
  if (text === storedMissed) return;
  try {
    localStorage.setItem(MISSED_KEY, text);
    storedMissed = text;
  } catch (error) {
    // Storage full or refused: the lists last for this visit.
  }
}

export function restorePauseOption() {
  try {
    pauseWhenInactive = localStorage.getItem(PAUSE_KEY) !== "0";
    noRepeats = localStorage.getItem(NO_REPEATS_KEY) !== "0";
  } catch (error) {
    pauseWhenInactive = true;
    noRepeats = true;
  }
}

export const pausesWhenInactive = () => pauseWhenInactive;

export function setPauseWhenInactive(on) {
  pauseWhenInactive = on;
  try { localStorage.setItem(PAUSE_KEY, on ? "1" : "0"); } catch (error) { /* for this visit */ }
}

export const drawsNoRepeats = () => noRepeats;

export function setDrawsNoRepeats(on) {
  noRepeats = on;
  try { localStorage.setItem(NO_REPEATS_KEY, on ? "1" : "0"); } catch (error) { /* for this visit */ }
}
