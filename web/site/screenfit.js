// The picture's size: the largest whole number of device pixels per game pixel that the window
// leaves room for, so that every game pixel is a sharp square on any screen. Menus, dialogs and
// texts grow with it, as on the desktop: 12 px times the picture's scale, up to three times.
import { SCREEN_HEIGHT, SCREEN_WIDTH } from "./constants.js";

const MARGIN = 8;
const SMALLEST_TEXT = 14;
const LARGEST_TEXT_SCALE = 3;
// The menu bar's height for a text size: its line, its buttons' padding and its border.
const BAR_LINE = 1.4;
const BAR_EXTRA = 9;

export const textSize = (cssScale) => Math.max(SMALLEST_TEXT, Math.round(12 * Math.min(cssScale, LARGEST_TEXT_SCALE)));

// The scale for a window of `width` x `height` CSS pixels at `ratio` device pixels per CSS pixel:
// `device` device pixels per game pixel, `css` CSS pixels.
export function fitFor(width, height, ratio) {
  let device = Math.max(1, Math.floor((width - MARGIN) * ratio / SCREEN_WIDTH));
  for (; device > 1; --device) {
    const css = device / ratio;
    const top = Math.ceil(textSize(css) * BAR_LINE) + BAR_EXTRA + MARGIN;
    if (SCREEN_HEIGHT * css <= height - top - MARGIN) break;
  }
  return { device, css: device / ratio };
}

export function measureFit() {
  return fitFor(document.documentElement.clientWidth, innerHeight, window.devicePixelRatio || 1);
}

// Sizes the canvas (its pixels stay as they are until the picture is painted again) and the
// page's texts.
export function applyFit(canvas, fit) {
  canvas.style.width = `${SCREEN_WIDTH * fit.css}px`;
  canvas.style.height = `${SCREEN_HEIGHT * fit.css}px`;
  document.documentElement.style.setProperty("--ui-text", `${textSize(fit.css)}px`);
}
