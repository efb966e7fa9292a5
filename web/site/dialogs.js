// The page's dialogs, one at a time in the order asked, each modal over the page: the game's
// message boxes, the version box, the settings, the missed questions and the name entry, as the
// desktop has them. Loaded before perna.js, whose calls into the game they use.
"use strict";

let dialogChain = Promise.resolve();
let dialogsOpen = 0;

function runDialog(dialog, prepare) {
  const shown = dialogChain.then(() => new Promise((resolve) => {
    closeMenus();
    const result = prepare ? prepare() : null;
    dialogsOpen += 1;
    dialog.addEventListener("close", () => {
      dialogsOpen -= 1;
      updatePause();
      resolve(result && result.onClose ? result.onClose(dialog.returnValue) : dialog.returnValue);
    }, { once: true });
    dialog.returnValue = "";
    dialog.dataset.shownAt = String(performance.now());
    dialog.showModal();
    updatePause();
    if (result && result.focus) result.focus.focus();
  }));
  dialogChain = shown.catch(() => {});
  return shown;
}

function showMessage(text, caption) {
  const box = document.getElementById("message-box");
  box.querySelector(".caption").textContent = caption;
  box.querySelector(".text").textContent = text;
  return runDialog(box);
}

function showAbout() {
  runDialog(document.getElementById("about-box"));
}

const SETTINGS_CONTROLS = ["settings-1001", "settings-1002", "settings-1003", "settings-1004"];

// "設定": only OK applies the options; キャンセル and Escape change nothing.
function showSettings() {
  const dialog = document.getElementById("settings-dialog");
  runDialog(dialog, () => {
    const bits = Module._pp_web_options();
    SETTINGS_CONTROLS.forEach((id, i) => { document.getElementById(id).checked = (bits & (1 << i)) !== 0; });
    document.getElementById("settings-1005").checked = (bits & 16) === 0;
    document.getElementById("settings-1006").checked = (bits & 16) !== 0;
    document.getElementById("settings-pause").checked = pauseWhenInactive;
    return { focus: document.getElementById("settings-ok") };
  }).then((answer) => {
    if (answer !== "ok") return;
    pauseWhenInactive = document.getElementById("settings-pause").checked;
    keepPauseOption();
    const values = SETTINGS_CONTROLS.map((id) => (document.getElementById(id).checked ? 1 : 0));
    const study = document.getElementById("settings-1006").checked ? 1 : 0;
    callGame(() => Module._pp_web_confirm_settings(...values, study));
  });
}

// "間違えた問題": the questions missed, in the order asked; "この問題で復習する" starts the
// review run over them, "閉じる" and Escape change nothing.
function showMissedQuestions(rows) {
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
    return { focus: document.getElementById("command-40015") };
  }).then((answer) => {
    callGame(() => Module._pp_web_close_missed(answer === "review" ? 1 : 0));
  });
}

// Keeps of a typed name only what the settings file can hold, ten characters at most.
function keepStorable(text, storable) {
  let kept = "";
  for (const character of text) {
    if (character.length === 1 && storable[character.charCodeAt(0)] && kept.length < NAME_CHARS) kept += character;
  }
  return kept;
}

// "名前の入力": the game's request. Closing it in any way answers with what the box holds, and a
// Return still on its way from the game does not confirm it.
function askPlayerName(storable) {
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
        callGame(() => Module.ccall("pp_web_enter_name", null, ["string"], [edit.value]));
        fitScale();  // a change of the window's size made meanwhile
        return edit.value;
      },
    };
  });
}
