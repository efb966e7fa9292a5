// The game's clock and its pause: the clock stops while the page is hidden or in the background
// and while a menu or dialog of ours is open, with the picture dimmed under "一時停止中" where
// the clock matters.
import { callGame, game } from "./game.js";
import { dialogsOpen } from "./dialogs.js";
import { pausesWhenInactive } from "./storage.js";

let windowFocused = true;

export function clockHeld() {
  if (!pausesWhenInactive()) return false;  // the game runs on behind everything, as the handheld's did
  return document.hidden || !windowFocused || dialogsOpen() > 0 || document.querySelector(".menu.open") !== null;
}

export function updatePause() {
  if (!game.ready) return;
  const veiled = clockHeld() && game.module._pp_web_playing() === 1;
  document.getElementById("pause-veil").hidden = !veiled;
}

export function tick() {
  if (clockHeld()) {
    updatePause();
    return;
  }
  callGame((module) => module._pp_web_tick());
}

export function setUpPause() {
  windowFocused = document.hasFocus();
  addEventListener("focus", () => { windowFocused = true; updatePause(); });
  addEventListener("blur", () => { windowFocused = false; updatePause(); });
  document.addEventListener("visibilitychange", updatePause);
}
