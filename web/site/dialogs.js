// The page's dialogs, one at a time in the order asked, each modal over the page: the game's
// message boxes, the version box, the settings, the missed questions and the name entry, as the
// desktop has them. Others hear of each one opening and closing (the menus close, the clock
// holds, the picture fits the window again).
import { BITMAP, COMMAND, NAME_CHARS, VERSION } from "./constants.js";
import { callGame, game } from "./game.js";
import { drawsNoRepeats, pausesWhenInactive, setDrawsNoRepeats, setPauseWhenInactive } from "./storage.js";

// How long after the name dialog shows a Return alone may confirm it, as on the desktop.
export const NAME_GUARD_MS = 400;
const SETTINGS_CONTROLS = ["settings-1001", "settings-1002", "settings-1003", "settings-1004"];
const STUDY_BIT = 16;

let dialogChain = Promise.resolve();
let open = 0;
const listeners = [];

export const dialogsOpen = () => open;

// `changed(opening)` runs as each dialog opens (true) and closes (false).
export function onDialogChange(changed) {
  listeners.push(changed);
}

// Shows `dialog` after the ones before it; `prepare()` fills it and may return { focus, opened,
// onClose(returnValue) }, `opened` running once it is on the screen and has its size.
export function runDialog(dialog, prepare) {
  const shown = dialogChain.then(() => new Promise((resolve) => {
    open += 1;
    for (const changed of listeners) changed(true);
    const result = prepare ? prepare() : null;
    dialog.addEventListener("close", () => {
      open -= 1;
      const answer = result && result.onClose ? result.onClose(dialog.returnValue) : dialog.returnValue;
      for (const changed of listeners) changed(false);
      resolve(answer);
    }, { once: true });
    dialog.returnValue = "";
    dialog.dataset.shownAt = String(performance.now());
    dialog.showModal();
    if (result && result.focus) result.focus.focus();
    if (result && result.opened) result.opened();
  }));
  dialogChain = shown.catch(() => {});
  return shown;
}

// The parts of the page's dialogs that name the game's own facts, filled in once.
export function setUpDialogs() {
  document.getElementById("review-missed").id = `command-${COMMAND.REVIEW_MISSED}`;
  document.getElementById("about-version").textContent = `Version ${VERSION}`;
  document.getElementById("about-bar").src = `bitmaps/${BITMAP.BAR}.bmp`;
  document.getElementById("about-logo").src = `bitmaps/${BITMAP.LOGO}.bmp`;
}

export function showMessage(text, caption) {
  const box = document.getElementById("message-box");
  box.querySelector(".caption").textContent = caption;
  box.querySelector(".text").textContent = text;
  return runDialog(box);
}

export function showAbout() {
  runDialog(document.getElementById("about-box"));
}

// "設定": only OK applies the options; キャンセル and Escape change nothing.
export function showSettings() {
  const dialog = document.getElementById("settings-dialog");
  runDialog(dialog, () => {
    const bits = game.module._pp_web_options();
    SETTINGS_CONTROLS.forEach((id, i) => { document.getElementById(id).checked = (bits & (1 << i)) !== 0; });
    document.getElementById("settings-1005").checked = (bits & STUDY_BIT) === 0;
    document.getElementById("settings-1006").checked = (bits & STUDY_BIT) !== 0;
    document.getElementById("settings-pause").checked = pausesWhenInactive();
    document.getElementById("settings-norepeat").checked = drawsNoRepeats();
    return { focus: document.getElementById("settings-ok") };
  }).then((answer) => {
    if (answer !== "ok") return;
    setPauseWhenInactive(document.getElementById("settings-pause").checked);
    setDrawsNoRepeats(document.getElementById("settings-norepeat").checked);
    const values = SETTINGS_CONTROLS.map((id) => (document.getElementById(id).checked ? 1 : 0));
    const study = document.getElementById("settings-1006").checked ? 1 : 0;
    callGame((module) => {
      module._pp_web_set_no_repeats(drawsNoRepeats() ? 1 : 0);
      module._pp_web_confirm_settings(...values, study);
    });
  });
}

// "間違えた問題": the questions missed, in the order asked; "この問題で復習する" starts the
// review run over them, "閉じる" and Escape change nothing.
export function showMissedQuestions(rows) {
  const dialog = document.getElementById("missed-dialog");
  runDialog(dialog, () => {
    dialog.querySelector(".text").textContent = `間違えた問題、時間切れになった問題（${rows.length}問）`;
    const body = dialog.querySelector("tbody");
    body.replaceChildren();
    for (const row of rows) {
      const line = document.createElement("tr");
      for (const text of [row.genre, row.question, row.timedOut ? "時間切れ" : row.given, row.right]) {
        const cell = document.createElement("td");
        cell.textContent = text;
        line.appendChild(cell);
      }
      body.appendChild(line);
    }
    return { focus: document.getElementById(`command-${COMMAND.REVIEW_MISSED}`) };
  }).then((answer) => {
    callGame((module) => module._pp_web_close_missed(answer === "review" ? 1 : 0));
  });
}

// Keeps of a typed name only what the settings file can hold (`storable` flags each UTF-16
// unit), NAME_CHARS characters at most.
export function keepStorable(text, storable) {
  let kept = "";
  for (const character of text) {
    if (character.length === 1 && storable[character.charCodeAt(0)] && kept.length < NAME_CHARS) kept += character;
  }
  return kept;
}

// "名前の入力": the game's request. Closing it in any way answers with what the box holds, and a
// Return still on its way from the game does not confirm it.
export function askPlayerName(storable) {
  const dialog = document.getElementById("name-dialog");
  const edit = document.getElementById("name-1006");
  const allowed = storable.slice();
  let shownAt = 0;
  let keyLetGo = false;
  const filter = () => {
    const kept = keepStorable(edit.value, allowed);
    if (kept !== edit.value) edit.value = kept;
  };
  const guard = (event) => {
    if (event.key !== "Enter") return;
    const fresh = keyLetGo || performance.now() - shownAt >= NAME_GUARD_MS;
    if (event.repeat || !fresh) event.preventDefault();
  };
  const letGo = (event) => { if (!event.repeat) keyLetGo = true; };
  return runDialog(dialog, () => {
    edit.value = "";
    shownAt = performance.now();
    edit.addEventListener("input", filter);
    dialog.addEventListener("keydown", guard, true);
    dialog.addEventListener("keyup", letGo, true);
    return {
      focus: edit,
      onClose: () => {
        edit.removeEventListener("input", filter);
        dialog.removeEventListener("keydown", guard, true);
        dialog.removeEventListener("keyup", letGo, true);
        filter();
        callGame((module) => module.ccall("pp_web_enter_name", null, ["string"], [edit.value]));
        return edit.value;
      },
    };
  });
}
