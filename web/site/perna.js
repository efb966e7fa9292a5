// The page around the game's WebAssembly module, started here: the picture (canvas.js), the
// bridge into the game (game.js), storage, menus and their keys, input, sound and dialogs, each
// a module of its own; this one wires them together and starts the game and its clock.
import { TICK_MS } from "./constants.js";
import { AppInstall } from "./appinstall.js";
import { fetchWantedGlyphs, fitScale, glyphsPending, glyphsSettled, loadBitmaps, markTitleUp, setUpCanvas,
  surface } from "./canvas.js";
import { clockHeld, setUpPause, tick, updatePause } from "./clock.js";
import { askPlayerName, dialogsOpen, onDialogChange, setUpDialogs, showMessage, showMissedQuestions } from "./dialogs.js";
import { deliverPendingOpens, lastQuizFile, onFilesChanged, openQuizBytes, quizFileOpened, readQuizFromUrl,
  requestQuizFile, restoreQuizFiles } from "./files.js";
import { afterEachCall, callGame, game, gameState, loadModule } from "./game.js";
import { History } from "./history.js";
import { pressKey, setUpInput } from "./input.js";
import { joinParty } from "./party.js";
import { Loading } from "./loading.js";
import { setUpMenuKeys } from "./menukeys.js";
import { buildMenus, buildRecentFiles, closeMenus, updateCommands } from "./menus.js";
import { QuizFiles } from "./quizfiles.js";
import { Sample } from "./sample.js";
import { playSound, setUpAudio } from "./sound.js";
import { drawsNoRepeats, keepMissedLists, keepSettings, restoreMissedLists, restorePauseOption, restoreSettings,
  setUpStorage } from "./storage.js";

const params = new URLSearchParams(location.search);
// Tests fix the question draws and drive the clock themselves, as the desktop's tests do.
const fixedSeed = params.has("seed") ? Number(params.get("seed")) >>> 0 : null;
const manualClock = params.get("clock") === "manual";

// What the game's module calls: its drawing, its sounds and its requests.
const page = {
  ...surface,
  playSound,
  showMessage,
  askPlayerName,
  showMissedQuestions,
  quizFileOpened,
  chooseQuizFile: requestQuizFile,
  lastQuizFile,
  callGame,
  history: History,
};

// What tests and the curious may ask of the page.
const perna = {
  titleShownAt: 0,
  ready: null,
  tick(count) {
    for (let i = 0; i < count; ++i) tick();
  },
  state: gameState,
  waiting: () => game.ready && game.module._pp_web_name_requested() === 1,
  dialogsOpen,
  paused: () => !document.getElementById("pause-veil").hidden,
  clockHeld,
  // The game's date from now on ("YYYY-MM-DD"), or the browser's again with null.
  setToday(date) {
    const day = date === null ? 0 : Date.UTC(...date.split("-").map((part, i) => Number(part) - (i === 1 ? 1 : 0))) / 86400000;
    callGame((module) => module._pp_web_set_today(date === null ? 0 : 1, day));
  },
  historySettled: () => History.settled(),
  // True while the picture waits for a piece of the font its text needs.
  textPending: glyphsPending,
};
window.perna = perna;

// When the title was first on the screen: its picture from the page's style, or else the game's paint.
function titleSeen(at) {
  if (!perna.titleShownAt || at < perna.titleShownAt) perna.titleShownAt = at;
}
if (typeof PerformanceObserver === "function" && PerformanceObserver.supportedEntryTypes.includes("element")) {
  new PerformanceObserver((list) => {
    for (const entry of list.getEntries()) if (entry.identifier === "title" && entry.renderTime > 0) titleSeen(entry.renderTime);
  }).observe({ type: "element", buffered: true });
}
afterEachCall(() => titleSeen(performance.now()));
afterEachCall(keepSettings);
afterEachCall(keepMissedLists);
afterEachCall(updateCommands);
afterEachCall(updatePause);
afterEachCall(deliverPendingOpens);
afterEachCall(fetchWantedGlyphs);
onDialogChange((opening) => {
  if (opening) closeMenus();
  updatePause();
  // A change of the window's size made while the name dialog held the picture.
  if (!opening) fitScale();
});
onFilesChanged(buildRecentFiles);
AppInstall.listen();
setUpStorage(showMessage);

const canvas = document.getElementById("screen");
setUpCanvas(canvas);
// The picture's final size before anything is drawn on it.
fitScale();

// Opened from a shared game's host, the page is a player's and the game itself never starts.
perna.ready = params.has("party") ? joinParty(page) : (async () => {
  setUpDialogs();
  buildMenus();
  setUpMenuKeys();
  setUpInput(canvas);
  setUpPause();
  restorePauseOption();
  Loading.start(canvas);
  let titleTextCame = null;
  Loading.track(setUpAudio(new Promise((resolve) => { titleTextCame = resolve; })));
  // A quiz named by the address comes alongside the module rather than after it.
  const quizFromUrl = params.has("quiz") ? Loading.track(readQuizFromUrl(params.get("quiz"))) : null;
  const quizFilesRead = Promise.all([QuizFiles.load(), Loading.track(Sample.load()), History.load()]);
  await Promise.all([Loading.track(loadBitmaps()), Loading.track(loadModule(page))]);
  const module = game.module;
  restoreSettings();
  restoreMissedLists();
  fitScale();
  module._pp_web_make(fixedSeed === null ? 0 : 1, fixedSeed === null ? 0 : fixedSeed);
  module._pp_web_set_no_repeats(drawsNoRepeats() ? 1 : 0);
  module._pp_web_paint();
  markTitleUp();
  titleSeen(performance.now());
  // The title's bitmaps show at once; its text follows with the pieces of the font it needs.
  const titleText = Loading.track(glyphsSettled());
  // The game starts once it can be told of the quiz file the title starts again on.
  await quizFilesRead;
  restoreQuizFiles();
  buildRecentFiles();
  module._pp_web_start(fixedSeed === null ? 0 : 1, fixedSeed === null ? 0 : fixedSeed);
  await titleText;
  module._pp_web_font_changed();
  titleTextCame();
  game.ready = true;
  callGame((module) => module._pp_web_paint());
  Loading.finish(() => pressKey("Enter"));
  AppInstall.start(() => {
    const state = gameState();
    return state !== null && state.screen === "Title" && dialogsOpen() === 0;
  }, updateCommands, () => {
    // The worker's copying waits while the player waits: on the title, or on a question whose
    // choices are all drawn, with nothing still loading.
    const state = gameState();
    return state !== null && (state.screen === "Title" || state.screen === "Answering") && !glyphsPending() &&
      !Loading.loading();
  });
  // Time spent waiting for a piece of the font is not the player's to lose.
  if (!manualClock) setInterval(() => { if (!glyphsPending()) tick(); }, TICK_MS);
  if (quizFromUrl) quizFromUrl.then(({ name, bytes }) => openQuizBytes(name, bytes));
})();
