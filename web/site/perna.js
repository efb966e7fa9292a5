// The page around the game's WebAssembly module: it draws what the game paints on a canvas at a
// whole scale, plays its sounds, turns the timer, pointer, keys, pads and menus into the game's
// calls, shows its dialogs (dialogs.js), pauses the clock while the page is in the background,
// and keeps the settings file, the missed-question lists and the last quiz files (quizfiles.js)
// in the browser's storage.
"use strict";

const LOGICAL_WIDTH = 240;
const LOGICAL_HEIGHT = 268;
const TICK_MS = 50;
const LINE_HEIGHT = 12;
const FONT_FAMILY = "VL Gothic Web";
const DOCUMENTS = "/documents";
const SETTINGS_NAME = "ポケットペルナ.txt";
const SETTINGS_PATH = DOCUMENTS + "/" + SETTINGS_NAME;
const STORAGE_KEY = "pocketperna.settings";
// The missed-question lists, in a folder of their own as on the desktop, kept under their own key.
const MISSED_PATH = "/data/missed.json";
const MISSED_KEY = "pocketperna.missed";
// "ウィンドウが非アクティブのときは一時停止する": the page's own option, never in the settings file.
const PAUSE_KEY = "pocketperna.pauseWhenInactive";
// A quiz file lives at a path made of its name alone, so that opening the same file again finds
// its missed list; a file is placed there only once the game's check accepts it, so a refused
// one never replaces the file a running game reads.
const QUIZ_FOLDER = "/quiz";
const STAGING_FOLDER = "/staging";
// How large the pause's word is, in the picture's pixels, as on the desktop.
const PAUSE_TEXT_PIXELS = 20;
const SCREEN_TITLE = 0;
// The game's own message of a settings file that could not be saved (engine/Messages.h).
const SAVE_ERROR_TEXT = "ランキングと設定を保存できませんでした。";
const SAVE_ERROR_CAPTION = "設定ファイルの保存エラー";
const SOUND_IDS = [135, 136, 137, 138, 139, 140, 141, 142];
// The handheld's key codes for the keys the desktop passes on (shell/MainWindow.cpp).
// The number keys of the main row and of the keypad (with Num Lock) arrive as the same key.
const GAME_KEYS = { ArrowUp: 0x26, ArrowDown: 0x28, Enter: 0x0d, NumpadEnter: 0x0d, " ": 0x0d,
  1: 0x31, 2: 0x32, 3: 0x33, 4: 0x34, 5: 0x35 };
// How long after the name dialog shows a Return alone may confirm it, as on the desktop.
const NAME_GUARD_MS = 400;
const NAME_CHARS = 10;

const params = new URLSearchParams(location.search);
// Tests fix the question draws and drive the clock themselves, as the desktop's tests do.
const fixedSeed = params.has("seed") ? Number(params.get("seed")) >>> 0 : null;
const manualClock = params.get("clock") === "manual";

const canvas = document.getElementById("screen");
const context = canvas.getContext("2d");
let scale = 1;           // device pixels per logical pixel of the canvas
let cssScale = 1;        // CSS pixels per logical pixel
const bitmaps = new Map();
let ready = false;
let titleUp = false;     // the title is painted, though the game waits for the font
let fontReady = false;   // until then the title shows its bitmaps alone, never a stand-in font
let pendingOpens = [];   // quiz files ({ name, bytes }) chosen while the game could not take them
let stagedName = "";     // the name of the quiz file last checked in STAGING_FOLDER
let stagedPath = "";     // where it was checked, under its own name so that a refusal names it
let storedSettings = null;
let storedMissed = null;
let storageRefusalTold = false;
let pauseWhenInactive = true;
let windowFocused = true;

// ---------------------------------------------------------------------------------------------
// Drawing: the module calls these with logical coordinates (web/src/WebSurface.cpp).

const measureContext = document.createElement("canvas").getContext("2d");
let baseline = 10;
const runCache = new Map();
const RUN_CACHE_LIMIT = 2000;

function cssColour(packed) {
  return "#" + packed.toString(16).padStart(6, "0");
}

function setUpFontMetrics() {
  measureContext.font = `12px "${FONT_FAMILY}"`;
  const metrics = measureContext.measureText("あ");
  const ascent = metrics.fontBoundingBoxAscent;
  const descent = metrics.fontBoundingBoxDescent;
  // The ascent and descent centred in the 12-pixel line, on a whole pixel, as on the desktop.
  baseline = Math.round(ascent + (LINE_HEIGHT - ascent - descent) / 2);
}

// A run of text drawn with hard edges: the browser's smoothed glyph, cut at half coverage into
// pixels of the text colour, so text drawn again over itself leaves no fringes.
function renderRun(text, packed, squeeze) {
  const key = `${scale}|${packed}|${squeeze}|${text}`;
  let run = runCache.get(key);
  if (run) return run;
  if (runCache.size >= RUN_CACHE_LIMIT) runCache.clear();
  const pad = 2;
  const width = Math.max(1, Math.ceil((measureRun(text) * squeeze + 2 * pad) * scale));
  const height = (LINE_HEIGHT + 2 * pad) * scale;
  const surface = document.createElement("canvas");
  surface.width = width;
  surface.height = height;
  const ink = surface.getContext("2d", { willReadFrequently: true });
  ink.font = `${12 * scale}px "${FONT_FAMILY}"`;
  ink.fillStyle = "black";
  // A condensed run is drawn squeezed horizontally, glyphs and all.
  ink.setTransform(squeeze, 0, 0, 1, 0, 0);
  let x = pad / squeeze;
  for (const character of text) {
    ink.fillText(character, x * scale, (pad + baseline) * scale);
    x += advance(character);
  }
  const pixels = ink.getImageData(0, 0, width, height);
  const data = pixels.data;
  const red = (packed >> 16) & 255, green = (packed >> 8) & 255, blue = packed & 255;
  for (let i = 0; i < data.length; i += 4) {
    const solid = data[i + 3] >= 128;
    data[i] = red;
    data[i + 1] = green;
    data[i + 2] = blue;
    data[i + 3] = solid ? 255 : 0;
  }
  ink.putImageData(pixels, 0, 0);
  run = { surface, pad };
  runCache.set(key, run);
  return run;
}

// Each character's advance rounded to a whole pixel, as the desktop's hinted font has them, so a
// run is as wide here as there and lines break at the same places.
const advances = new Map();

function advance(character) {
  let width = advances.get(character);
  if (width === undefined) {
    width = Math.round(measureContext.measureText(character).width);
    advances.set(character, width);
  }
  return width;
}

function measureRun(text) {
  // Before the font has come nothing is drawn, and what is laid out meanwhile is laid out again.
  if (!fontReady) return 0;
  let width = 0;
  for (const character of text) width += advance(character);
  return width;
}

const page = {
  measureRun,
  eraseRect(x, y, width, height) {
    context.fillStyle = "white";
    context.fillRect(x * scale, y * scale, width * scale, height * scale);
  },
  fillWhite(x, y, width, height) {
    page.eraseRect(x, y, width, height);
  },
  drawBitmap(id, x, y) {
    const image = bitmaps.get(id);
    if (!image) return;
    context.drawImage(image, x * scale, y * scale, image.width * scale, image.height * scale);
  },
  clip(x, y, width, height) {
    context.save();
    context.beginPath();
    context.rect(x * scale, y * scale, width * scale, height * scale);
    context.clip();
  },
  unclip() {
    context.restore();
  },
  drawRun(text, x, top, packed, squeeze = 1) {
    if (!fontReady) return;
    const run = renderRun(text, packed, squeeze);
    context.drawImage(run.surface, (x - run.pad) * scale, (top - run.pad) * scale);
  },
  drawPolyline(coordinates, width, packed) {
    // An odd-width line is centred on the pixel it names, as the device draws it; wide pens
    // end round and thin ones square, as on the desktop.
    const offset = width % 2 === 1 ? 0.5 : 0;
    context.save();
    context.strokeStyle = cssColour(packed);
    context.lineWidth = Math.max(1, width) * scale;
    context.lineCap = width > 2 ? "round" : "square";
    context.lineJoin = "round";
    context.beginPath();
    for (let i = 0; i < coordinates.length; i += 2) {
      const px = (coordinates[i] + offset) * scale, py = (coordinates[i + 1] + offset) * scale;
      if (i === 0) context.moveTo(px, py); else context.lineTo(px, py);
    }
    context.stroke();
    context.restore();
  },
  drawEllipse(x, y, width, height, penWidth, packed) {
    context.save();
    context.beginPath();
    context.ellipse((x + width / 2) * scale, (y + height / 2) * scale, (width / 2) * scale,
      (height / 2) * scale, 0, 0, 2 * Math.PI);
    context.fillStyle = "white";
    context.fill();
    context.strokeStyle = cssColour(packed);
    context.lineWidth = Math.max(1, penWidth) * scale;
    context.stroke();
    context.restore();
  },
  requestRepaint() {
    // The paint follows once the current call into the game has returned (see settle).
  },
  playSound,
  showMessage,
  askPlayerName,
  showMissedQuestions,
  quizFileOpened,
  // The game's open dialog: the picker's answer goes back to the game as its answer.
  chooseQuizFile() {
    fileRequested = true;
    chooseQuizFile();
  },
  lastQuizFile,
  callGame,
};

// ---------------------------------------------------------------------------------------------
// Calls into the game.

// Runs one call into the game, then the paint it asked for. The game never waits inside a call:
// its dialogs are requests the page answers later with another call.
function callGame(call) {
  if (!ready) return;
  call();
  settle();
}

function settle() {
  if (Module._pp_web_take_paint_request()) Module._pp_web_paint();
  if (!perna.titleShownAt) perna.titleShownAt = performance.now();
  keepSettings();
  keepMissedLists();
  updateCommands();
  updatePause();
  deliverPendingOpens();
}

function tick() {
  if (clockHeld()) {
    updatePause();
    return;
  }
  callGame(() => Module._pp_web_tick());
}

function quizPath(name) {
  const safe = name.replace(/\//g, "_");
  return `${QUIZ_FOLDER}/${safe === "" || safe === "." || safe === ".." ? "quiz.kqd" : safe}`;
}

function baseName(path) {
  return path.slice(path.lastIndexOf("/") + 1);
}

function openQuizBytes(name, bytes, chosen = false) {
  pendingOpens.push({ name, bytes, chosen });
  deliverPendingOpens();
}

function deliverPendingOpens() {
  while (pendingOpens.length > 0 && ready) {
    const { name, bytes, chosen } = pendingOpens.shift();
    const path = placeQuizFile(name, bytes);
    // The picker's file answers the game's open dialog; any other is handed over.
    callGame(() => Module.ccall(chosen ? "pp_web_choose_file" : "pp_web_open", null, ["string"], [path]));
  }
}

// Where the game opens a quiz file: at its name's path when it passes the check, otherwise
// where the game finds it only to refuse it with its own message.
function placeQuizFile(name, bytes) {
  Module.FS.mkdirTree(STAGING_FOLDER);
  if (stagedPath) Module.FS.unlink(stagedPath);
  stagedPath = STAGING_FOLDER + quizPath(name).slice(QUIZ_FOLDER.length);
  Module.FS.writeFile(stagedPath, bytes);
  stagedName = name;
  if (!Module.ccall("pp_web_quiz_accepted", "number", ["string"], [stagedPath])) return stagedPath;
  const path = quizPath(name);
  Module.FS.mkdirTree(QUIZ_FOLDER);
  Module.FS.writeFile(path, bytes);
  return path;
}

// The game has opened a quiz file, or refused one: an accepted file's bytes are kept as the
// newest of the last files, and a refused one leaves that list under its name, as on the desktop.
function quizFileOpened(path, accepted) {
  const name = path === stagedPath ? stagedName : baseName(path);
  if (accepted) {
    let bytes = null;
    try { bytes = Module.FS.readFile(path); } catch (error) { return; }
    QuizFiles.remember(name, bytes);
  } else {
    QuizFiles.forget(name);
  }
  buildRecentFiles();
}

// The title's restart after a reload: the newest kept file, written into the module's file system
// before the game starts.
// On a first visit that is the bundled sample, so that a tap on the title plays at once.
function lastQuizFile() {
  const newest = QuizFiles.list()[0];
  if (newest) return quizPath(newest.name);
  return Sample.available() ? quizPath(Sample.NAME) : "";
}

function restoreQuizFiles() {
  Module.FS.mkdirTree(QUIZ_FOLDER);
  if (QuizFiles.list().length === 0 && Sample.available()) Module.FS.writeFile(quizPath(Sample.NAME), Sample.bytes());
  for (const file of QuizFiles.list()) Module.FS.writeFile(quizPath(file.name), file.bytes);
}

// The open dialog the title asks for when there is no last file. Browsers show a file picker only
// right after the player's own key or tap, which is when the title asks.
// True while the game waits for the picker; a picker opened from the page's menu or hint hands
// its file over instead, since the game asked for nothing.
let fileRequested = false;

function chooseQuizFile() {
  document.getElementById("quiz-file").click();
}

function openRecentFile(index) {
  const file = QuizFiles.list()[index];
  if (file) openQuizBytes(file.name, file.bytes);
}

async function openQuizFile(file, chosen = false) {
  openQuizBytes(file.name, new Uint8Array(await file.arrayBuffer()), chosen);
}

// ?quiz=URL: a quiz file of the same site. Anything that cannot be fetched opens as an empty
// file, so the game refuses it with its own message.
async function openQuizFromUrl(address) {
  let bytes = new Uint8Array(0);
  let name = "quiz.kqd";
  try {
    const url = new URL(address, location.href);
    name = decodeURIComponent(url.pathname.split("/").pop() || name);
    if (url.origin === location.origin) {
      const response = await fetch(url);
      if (response.ok) bytes = new Uint8Array(await response.arrayBuffer());
    }
  } catch (error) {
    // A malformed address or a failed fetch: the empty file stands for it.
  }
  openQuizBytes(name, bytes);
}

// ---------------------------------------------------------------------------------------------
// The settings file in the browser's storage, byte for byte as the game wrote it.

function toBase64(bytes) {
  let binary = "";
  for (const byte of bytes) binary += String.fromCharCode(byte);
  return btoa(binary);
}

function fromBase64(text) {
  const binary = atob(text);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i) bytes[i] = binary.charCodeAt(i);
  return bytes;
}

function settingsBytes() {
  try {
    return Module.FS.readFile(SETTINGS_PATH);
  } catch (error) {
    return null;
  }
}

function restoreSettings() {
  Module.FS.mkdirTree(DOCUMENTS);
  try {
    storedSettings = localStorage.getItem(STORAGE_KEY);
    if (storedSettings) Module.FS.writeFile(SETTINGS_PATH, fromBase64(storedSettings));
  } catch (error) {
    storedSettings = null;  // no storage (a private window, say): the game plays on in memory
  }
}

function keepSettings() {
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
    if (!storageRefusalTold) showMessage(SAVE_ERROR_TEXT, SAVE_ERROR_CAPTION);
    storageRefusalTold = true;
  }
}

// The missed-question lists as the game wrote them; a list that cannot be kept is no reason to
// trouble the player, as on the desktop.
function restoreMissedLists() {
  Module.FS.mkdirTree(MISSED_PATH.slice(0, MISSED_PATH.lastIndexOf("/")));
  try {
    storedMissed = localStorage.getItem(MISSED_KEY);
    if (storedMissed) Module.FS.writeFile(MISSED_PATH, storedMissed);
  } catch (error) {
    storedMissed = null;
  }
}

function keepMissedLists() {
  let text = null;
  try { text = Module.FS.readFile(MISSED_PATH, { encoding: "utf8" }); } catch (error) { return; }
  if (text === storedMissed) return;
  try {
    localStorage.setItem(MISSED_KEY, text);
    storedMissed = text;
  } catch (error) {
    // Storage full or refused: the lists last for this visit.
  }
}

function restorePauseOption() {
  try {
    pauseWhenInactive = localStorage.getItem(PAUSE_KEY) !== "0";
  } catch (error) {
    pauseWhenInactive = true;
  }
}

function keepPauseOption() {
  try { localStorage.setItem(PAUSE_KEY, pauseWhenInactive ? "1" : "0"); } catch (error) { /* for this visit */ }
}

function downloadSettings() {
  const bytes = settingsBytes();
  if (!bytes) return;
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
  link.download = SETTINGS_NAME;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 10000);
}

// A settings file from a desktop or a handheld replaces this browser's, and the game starts
// again on it, as the desktop game would with the file copied into its Documents folder. The
// game reads any bytes as it reads the device's file: what it cannot use becomes the defaults.
async function loadSettingsFile(file) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  try {
    localStorage.setItem(STORAGE_KEY, toBase64(bytes));
  } catch (error) {
    showMessage(`${SAVE_ERROR_TEXT}\n${file.name}`, SAVE_ERROR_CAPTION);
    return;
  }
  location.reload();
}

// ---------------------------------------------------------------------------------------------
// Sound: the eight effects through Web Audio; a new one replaces the one playing.

let audio = null;
const sounds = new Map();
let playing = null;

// The sounds are fetched once `before` (the font) has come, so that they never hold it up.
function setUpAudio(before) {
  const AudioContextClass = window.AudioContext || window.webkitAudioContext;
  if (!AudioContextClass) return Promise.resolve();
  const fetched = new Map();
  const loaded = before.then(() => Promise.all(SOUND_IDS.map((id) => fetch(`sounds/${id}.wav`)
    .then((response) => response.arrayBuffer())
    .then((data) => fetched.set(id, data))
    .catch(() => {}))));  // a sound that cannot be had plays nothing
  // Browsers start sound only after the player has done something on the page, and making the
  // audio context can take long (a blocked page at start-up): it is made at that first key or tap.
  const wake = () => {
    if (!audio) {
      audio = new AudioContextClass();
      loaded.then(() => {
        for (const [id, data] of fetched) audio.decodeAudioData(data).then((buffer) => sounds.set(id, buffer), () => {});
      });
    }
    if (audio.state === "suspended") audio.resume();
  };
  addEventListener("pointerdown", wake, true);
  addEventListener("keydown", wake, true);
  return loaded;
}

function playSound(id) {
  if (!audio || !sounds.has(id)) return;
  if (playing) {
    try { playing.stop(); } catch (error) { /* already ended */ }
  }
  playing = audio.createBufferSource();
  playing.buffer = sounds.get(id);
  playing.connect(audio.destination);
  playing.start();
}

// ---------------------------------------------------------------------------------------------
// Menus: the desktop's items under the same command ids, built from one table so that new
// items need only a row here and a handler.

const gameFree = () => ready;

const MENUS = [
  { id: 40004, title: "ファイル", items: [
    { id: 40007, text: "開く...", keys: "Ctrl+O", run: chooseQuizFile },
    { id: "sample", text: "サンプル問題で遊ぶ", run: () => openQuizBytes(Sample.NAME, Sample.bytes()) },
    { id: "recent", text: "最近使ったファイル", submenu: true, enabled: () => QuizFiles.list().length > 0 },
    null,
    { id: "save-settings", text: "設定ファイルをダウンロード...", run: downloadSettings },
    { id: "load-settings", text: "設定ファイルを読み込む...",
      run: () => document.getElementById("settings-file").click() },
    null,
    { id: "install", text: "アプリとしてインストール...", run: () => AppInstall.install(), enabled: () => AppInstall.canInstall() },
  ] },
  { id: 40009, title: "ツール", items: [
    { id: 40003, text: "バージョン情報", keys: "Ctrl+A", run: showAbout },
    { id: 40012, text: "設定...", run: showSettings },
    { id: 40013, text: "ランキング表示...", run: () => callGame(() => Module._pp_web_command(40013)),
      enabled: () => gameFree() && Module._pp_web_screen() === SCREEN_TITLE },
    { id: 40014, text: "間違えた問題...", run: () => callGame(() => Module._pp_web_command(40014)),
      enabled: () => gameFree() && Module._pp_web_has_missed() === 1 },
  ] },
];
const SHORTCUTS = { o: 40007, a: 40003 };
const commandItems = new Map();

function buildMenus() {
  const bar = document.getElementById("menubar");
  for (const menu of MENUS) {
    const holder = document.createElement("div");
    holder.className = "menu";
    const title = document.createElement("button");
    title.id = `command-${menu.id}`;
    title.textContent = menu.title;
    title.addEventListener("click", (event) => {
      event.stopPropagation();
      const wasOpen = holder.classList.contains("open");
      closeMenus();
      if (!wasOpen) { updateCommands(); holder.classList.add("open"); }
      updatePause();
    });
    const list = document.createElement("div");
    list.className = "menu-items";
    list.setAttribute("role", "menu");
    for (const item of menu.items) {
      if (!item) { list.appendChild(document.createElement("hr")); continue; }
      const entry = document.createElement("button");
      entry.id = `command-${item.id}`;
      entry.dataset.command = item.id;
      entry.setAttribute("role", "menuitem");
      entry.append(item.text);
      if (item.keys) {
        const keys = document.createElement("kbd");
        keys.textContent = item.keys;
        entry.appendChild(keys);
      }
      commandItems.set(String(item.id), { item, entry });
      if (item.submenu) {
        entry.classList.add("submenu-entry");
        entry.setAttribute("aria-haspopup", "menu");
        const sub = document.createElement("div");
        sub.className = "menu-items submenu";
        sub.id = `${item.id}-items`;
        sub.setAttribute("role", "menu");
        const holderOfSub = document.createElement("div");
        holderOfSub.className = "submenu-holder";
        entry.addEventListener("click", (event) => {
          event.stopPropagation();
          holderOfSub.classList.toggle("open");
        });
        holderOfSub.append(entry, sub);
        list.appendChild(holderOfSub);
        continue;
      }
      entry.addEventListener("click", (event) => {
        event.stopPropagation();
        closeMenus();
        runCommand(item.id);
      });
      list.appendChild(entry);
    }
    holder.append(title, list);
    bar.appendChild(holder);
  }
  document.addEventListener("click", closeMenus);
}

function closeMenus() {
  for (const open of document.querySelectorAll(".menu.open, .submenu-holder.open")) open.classList.remove("open");
  updatePause();
}

// "最近使ったファイル": the kept quiz files, newest first, each opened from its kept bytes.
function buildRecentFiles() {
  const list = document.getElementById("recent-items");
  if (!list) return;
  list.replaceChildren();
  QuizFiles.list().forEach((file, index) => {
    const entry = document.createElement("button");
    entry.id = `recent-${index + 1}`;
    entry.setAttribute("role", "menuitem");
    entry.textContent = `${index + 1} ${file.name}`;
    entry.title = file.name;
    entry.addEventListener("click", (event) => {
      event.stopPropagation();
      closeMenus();
      if (ready) openRecentFile(index);
    });
    list.appendChild(entry);
  });
  Sample.showHint(QuizFiles.list().length === 0 && Sample.available(), chooseQuizFile);
  updateCommands();
}

function runCommand(id) {
  const found = commandItems.get(String(id));
  if (!found || found.entry.disabled || !ready) return;
  found.item.run();
}

function updateCommands() {
  for (const { item, entry } of commandItems.values()) {
    entry.disabled = item.enabled ? !item.enabled() : false;
  }
}

// ---------------------------------------------------------------------------------------------
// The pause: the clock stops while the page is hidden or in the background and while a menu or
// dialog of ours is open, with the picture dimmed under "一時停止中" where the clock matters.

function clockHeld() {
  if (!pauseWhenInactive) return false;  // the game runs on behind everything, as the handheld's did
  return document.hidden || !windowFocused || dialogsOpen > 0 || document.querySelector(".menu.open") !== null;
}

function updatePause() {
  if (!ready) return;
  const veil = document.getElementById("pause-veil");
  const veiled = clockHeld() && Module._pp_web_playing() === 1;
  veil.hidden = !veiled;
}

function setUpPause() {
  windowFocused = document.hasFocus();
  addEventListener("focus", () => { windowFocused = true; updatePause(); });
  addEventListener("blur", () => { windowFocused = false; updatePause(); });
  document.addEventListener("visibilitychange", updatePause);
}

// ---------------------------------------------------------------------------------------------
// The picture's scale, taps and keys.

function fitScale() {
  const fit = ScreenFit.measure();
  const css = fit.css;
  const device = fit.device;
  if (css === cssScale && device === scale && ready) return;
  // Behind the name dialog the picture before the results stays; the dialog fits it when it closes.
  if (ready && Module._pp_web_name_requested()) return;
  cssScale = css;
  scale = device;
  canvas.width = LOGICAL_WIDTH * scale;
  canvas.height = LOGICAL_HEIGHT * scale;
  ScreenFit.apply(canvas, fit);
  context.imageSmoothingEnabled = false;
  document.getElementById("pause-veil").style.fontSize = `${PAUSE_TEXT_PIXELS * cssScale}px`;
  runCache.clear();
  // A new size is just another paint of the same screen.
  if (ready) callGame(() => Module._pp_web_paint());
  else if (titleUp) Module._pp_web_paint();
}

function setUpInput() {
  canvas.addEventListener("pointerup", (event) => {
    if (event.button !== 0) return;
    const box = canvas.getBoundingClientRect();
    const x = Math.floor((event.clientX - box.left) / (box.width / LOGICAL_WIDTH));
    const y = Math.floor((event.clientY - box.top) / (box.height / LOGICAL_HEIGHT));
    if (x < 0 || y < 0 || x >= LOGICAL_WIDTH || y >= LOGICAL_HEIGHT) return;
    callGame(() => Module._pp_web_tap(x, y));
  });
  document.addEventListener("keydown", (event) => {
    if (dialogsOpen > 0 || !ready) return;
    if (event.ctrlKey && !event.altKey && !event.shiftKey && SHORTCUTS[event.key.toLowerCase()]) {
      event.preventDefault();
      runCommand(SHORTCUTS[event.key.toLowerCase()]);
      return;
    }
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    if (event.key === "Escape") { closeMenus(); return; }
    const code = GAME_KEYS[event.key];
    if (code === undefined || event.target.closest("#menubar")) return;
    event.preventDefault();
    callGame(() => Module._pp_web_key(code));
  });
  document.getElementById("quiz-file").addEventListener("change", (event) => {
    const file = event.target.files[0];
    event.target.value = "";
    const asked = fileRequested;
    fileRequested = false;
    if (file) openQuizFile(file, asked);
    else if (asked) callGame(() => Module._pp_web_cancel_file());
  });
  document.getElementById("quiz-file").addEventListener("cancel", () => {
    if (!fileRequested) return;
    fileRequested = false;
    callGame(() => Module._pp_web_cancel_file());
  });
  document.getElementById("settings-file").addEventListener("change", (event) => {
    const file = event.target.files[0];
    event.target.value = "";
    if (file) loadSettingsFile(file);
  });
  const stage = document.getElementById("stage");
  addEventListener("dragover", (event) => { event.preventDefault(); stage.classList.add("dragging"); });
  addEventListener("dragleave", () => stage.classList.remove("dragging"));
  addEventListener("drop", (event) => {
    event.preventDefault();
    stage.classList.remove("dragging");
    const file = event.dataTransfer.files[0];
    if (file) openQuizFile(file);
  });
  addEventListener("resize", fitScale);
  GamePads.start(padKey);
  addEventListener("pagehide", keepSettings);
}

// A pad's key goes where the keyboard's would: to an open dialog or menu, whose controls Up and
// Down step through and whose focused button (or else its first one) Return presses, or else to
// the game.
function padKey(key) {
  const within = document.querySelector("dialog[open]") || document.querySelector(".menu.open .menu-items");
  if (!within) {
    if (ready && GAME_KEYS[key] !== undefined) callGame(() => Module._pp_web_key(GAME_KEYS[key]));
    return;
  }
  const controls = Array.from(within.querySelectorAll("button, input"))
    .filter((control) => !control.disabled && control.offsetParent !== null);
  if (controls.length === 0) return;
  const at = controls.indexOf(document.activeElement);
  if (key !== "Enter") {
    const step = key === "ArrowUp" ? -1 : 1;
    controls[at < 0 ? (step > 0 ? 0 : controls.length - 1) : (at + step + controls.length) % controls.length].focus();
    return;
  }
  // A press still on its way from the game must not confirm the name at once.
  if (within.id === "name-dialog" && performance.now() - Number(within.dataset.shownAt) < NAME_GUARD_MS) return;
  const focused = controls[at];
  const target = focused && focused.tagName === "BUTTON" ? focused : within.querySelector(".buttons button") || controls[0];
  target.click();
}

// ---------------------------------------------------------------------------------------------
// Start-up: the font, the bitmaps and the module, then the game and its clock.

async function loadFont() {
  const face = new FontFace(FONT_FAMILY, "url(fonts/VL-Gothic-Regular.woff2) format('woff2')");
  try {
    document.fonts.add(await face.load());
  } catch (error) {
    // Without the font the texts take the browser's own, as a page without its web font does.
  }
  setUpFontMetrics();
  advances.clear();
  runCache.clear();
  fontReady = true;
}

// The bitmaps come in one file (records of id, length and the BMP file), one request for all.
async function loadBitmaps() {
  let pack = null;
  try {
    const response = await fetch("bitmaps.pack");
    if (response.ok) pack = new DataView(await response.arrayBuffer());
  } catch (error) {
    pack = null;
  }
  const decoded = [];
  for (let at = 0; pack && at + 6 <= pack.byteLength;) {
    const id = pack.getUint16(at, true);
    const length = Math.min(pack.getUint32(at + 2, true), pack.byteLength - at - 6);
    const bytes = new Uint8Array(pack.buffer, at + 6, length);
    // A bitmap the page cannot have draws nothing, like one missing from the catalogue.
    decoded.push(createImageBitmap(new Blob([bytes], { type: "image/bmp" }))
      .then((image) => bitmaps.set(id, image), () => {}));
    at += 6 + length;
  }
  await Promise.all(decoded);
}

const moduleReady = new Promise((resolve) => {
  window.Module = { page, onRuntimeInitialized: resolve };
});

// What tests and the curious may ask of the page.
const perna = {
  titleShownAt: 0,
  ready: null,
  tick(count) {
    for (let i = 0; i < count; ++i) tick();
  },
  state() {
    return JSON.parse(Module.UTF8ToString(Module._pp_web_state_json()));
  },
  waiting: () => ready && Module._pp_web_name_requested() === 1,
  dialogsOpen: () => dialogsOpen,
  paused: () => !document.getElementById("pause-veil").hidden,
};
window.perna = perna;

perna.ready = (async () => {
  buildMenus();
  setUpInput();
  setUpPause();
  restorePauseOption();
  Loading.start(canvas);
  let fontCame = null;
  Loading.track(setUpAudio(new Promise((resolve) => { fontCame = resolve; })));
  await Promise.all([Loading.track(loadBitmaps()), Loading.track(moduleReady), QuizFiles.load(),
    Loading.track(Sample.load())]);
  // The title is bitmaps alone: it shows at once, and the font, fetched from now on, comes after it.
  const fontLoaded = Loading.track(loadFont());
  restoreSettings();
  restoreMissedLists();
  restoreQuizFiles();
  buildRecentFiles();
  fitScale();
  Module._pp_web_start(fixedSeed === null ? 0 : 1, fixedSeed === null ? 0 : fixedSeed);
  Module._pp_web_paint();
  titleUp = true;
  perna.titleShownAt = performance.now();
  await fontLoaded;
  Module._pp_web_font_changed();
  fontCame();
  ready = true;
  callGame(() => Module._pp_web_paint());
  Loading.finish(() => callGame(() => Module._pp_web_key(GAME_KEYS.Enter)));
  AppInstall.start();
  if (!manualClock) setInterval(tick, TICK_MS);
  if (params.has("quiz")) openQuizFromUrl(params.get("quiz"));
})();
