// The player's input into the game: taps on the picture, the keys, the pads (gamepad.js), the
// file pickers and files dropped on the page. Keys go to the game unless a dialog or the menu
// bar has them.
import { GamePads } from "./gamepad.js";
import { dialogsOpen, NAME_GUARD_MS } from "./dialogs.js";
import { openQuizFile, takeFileRequest } from "./files.js";
import { callGame, game } from "./game.js";
import { fitScale } from "./canvas.js";
import { closeMenus, runCommand, SHORTCUTS } from "./menus.js";
import { stepTo } from "./menukeys.js";
import { GAME_KEYS, SCREEN_HEIGHT, SCREEN_WIDTH } from "./constants.js";
import { keepSettings, loadSettingsFile } from "./storage.js";

// The game's name of a key: the browser's key value, or its place on the keyboard where the value
// is blank (Space). The number keys of the main row and of the keypad (with Num Lock) share a value.
export function keyName(event) {
  return event.key.trim() === "" ? event.code : event.key;
}

// The game pixel under a point of the canvas's box, or null outside the picture.
export function pixelAt(box, clientX, clientY) {
  const x = Math.floor((clientX - box.left) / (box.width / SCREEN_WIDTH));
  const y = Math.floor((clientY - box.top) / (box.height / SCREEN_HEIGHT));
  if (x < 0 || y < 0 || x >= SCREEN_WIDTH || y >= SCREEN_HEIGHT) return null;
  return { x, y };
}

export function pressKey(key) {
  const code = GAME_KEYS[key];
  if (code !== undefined) callGame((module) => module._pp_web_key(code));
}

export function setUpInput(canvas) {
  canvas.addEventListener("pointerup", (event) => {
    if (event.button !== 0) return;
    const at = pixelAt(canvas.getBoundingClientRect(), event.clientX, event.clientY);
    if (at) callGame((module) => module._pp_web_tap(at.x, at.y));
  });
  document.addEventListener("keydown", (event) => {
    if (dialogsOpen() > 0 || !game.ready) return;
    const shortcut = SHORTCUTS[event.key.toLowerCase()];
    if (event.ctrlKey && !event.altKey && !event.shiftKey && shortcut) {
      event.preventDefault();
      runCommand(shortcut);
      return;
    }
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    if (event.key === "Escape") { closeMenus(); return; }
    const name = keyName(event);
    if (GAME_KEYS[name] === undefined || event.target.closest("#menubar")) return;
    event.preventDefault();
    pressKey(name);
  });
  document.getElementById("quiz-file").addEventListener("change", (event) => {
    const file = event.target.files[0];
    event.target.value = "";
    const asked = takeFileRequest();
    if (file) openQuizFile(file, asked);
    else if (asked) callGame((module) => module._pp_web_cancel_file());
  });
  document.getElementById("quiz-file").addEventListener("cancel", () => {
    if (takeFileRequest()) callGame((module) => module._pp_web_cancel_file());
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
    if (game.ready) pressKey(key);
    return;
  }
  const controls = Array.from(within.querySelectorAll("button, input"))
    .filter((control) => !control.disabled && control.offsetParent !== null);
  if (controls.length === 0) return;
  const at = controls.indexOf(document.activeElement);
  if (key !== "Enter") {
    const step = key === "ArrowUp" ? -1 : 1;
    controls[stepTo(controls.length, at, step)].focus();
    return;
  }
  // A press still on its way from the game must not confirm the name at once.
  if (within.id === "name-dialog" && performance.now() - Number(within.dataset.shownAt) < NAME_GUARD_MS) return;
  const focused = controls[at];
  const target = focused && focused.tagName === "BUTTON" ? focused : within.querySelector(".buttons button") || controls[0];
  target.click();
}
