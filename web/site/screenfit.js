// The picture's size: the largest whole number of device pixels per game pixel that the window
// leaves room for, so that every game pixel is a sharp square on any screen. Menus, dialogs and
// texts grow with it, as on the desktop: 12 px times the picture's scale, up to three times.
// Loaded right after the picture, so that its first paint already has its final size.
"use strict";

const ScreenFit = (() => {
  const WIDTH = 240;
  const HEIGHT = 268;
  const MARGIN = 8;
  const SMALLEST_TEXT = 14;
  const LARGEST_TEXT_SCALE = 3;
  // The menu bar's height for a text size: its line, its buttons' padding and its border.
  const BAR_LINE = 1.4;
  const BAR_EXTRA = 9;

  const textSize = (cssScale) => Math.max(SMALLEST_TEXT, Math.round(12 * Math.min(cssScale, LARGEST_TEXT_SCALE)));

  // The scale for the window as it is: `device` device pixels per game pixel, `css` CSS pixels.
  function measure() {
    const ratio = window.devicePixelRatio || 1;
    const width = document.documentElement.clientWidth - MARGIN;
    let device = Math.max(1, Math.floor(width * ratio / WIDTH));
    for (; device > 1; --device) {
      const css = device / ratio;
      const top = Math.ceil(textSize(css) * BAR_LINE) + BAR_EXTRA + MARGIN;
      if (HEIGHT * css <= innerHeight - top - MARGIN) break;
    }
    return { device, css: device / ratio };
  }

  // Sizes the canvas (its pixels stay as they are until `fit` is asked to) and the page's texts.
  function apply(canvas, fit) {
    canvas.style.width = `${WIDTH * fit.css}px`;
    canvas.style.height = `${HEIGHT * fit.css}px`;
    document.documentElement.style.setProperty("--ui-text", `${textSize(fit.css)}px`);
  }

  const first = measure();
  apply(document.getElementById("screen"), first);
  return { WIDTH, HEIGHT, measure, apply, first };
})();
