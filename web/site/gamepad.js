// Game pads through the browser's Gamepad API, turned into the keys the keyboard would press, so
// that nothing past this file knows about pads: the D-pad and the left stick move the highlight
// (ArrowUp, ArrowDown), A and Start are Enter. Pads are polled once a frame while one is
// plugged in, and a few times a second otherwise to notice one.
export const GamePads = (() => {
  // The standard mapping's buttons and the left stick's vertical axis.
  const BUTTON_A = 0;
  const BUTTON_START = 9;
  const BUTTON_UP = 12;
  const BUTTON_DOWN = 13;
  const STICK_Y = 1;
  // How far the stick must lean to count as a press, and how far back it must come before the
  // next one (the desktop's 16000 and 8000 of 32767): the gap keeps a stick resting near the
  // edge from chattering.
  const STICK_PRESS = 16000 / 32767;
  const STICK_RELEASE = 8000 / 32767;
  const IDLE_POLL_MS = 250;
  const BUTTON_KEYS = [[BUTTON_A, "Enter"], [BUTTON_START, "Enter"], [BUTTON_UP, "ArrowUp"], [BUTTON_DOWN, "ArrowDown"]];

  const known = new Map();  // by the pad's index: the buttons held and the stick's direction
  let onKey = () => {};
  let scheduled = false;

  function pads() {
    try {
      return Array.from(navigator.getGamepads ? navigator.getGamepads() : []).filter((pad) => pad && pad.connected !== false);
    } catch (error) {
      return [];  // a page whose policy forbids pads has none
    }
  }

  function pressed(button) {
    return typeof button === "object" ? Boolean(button && button.pressed) : button >= 0.5;
  }

  function pollPad(pad) {
    let seen = known.get(pad.index);
    if (!seen) {
      // A button already held when the pad is first seen is not a press: it may have woken the pad.
      seen = { held: new Set(), stick: 0 };
      for (const [button] of BUTTON_KEYS) if (pressed(pad.buttons[button])) seen.held.add(button);
      known.set(pad.index, seen);
    }
    for (const [button, key] of BUTTON_KEYS) {
      const down = pressed(pad.buttons[button]);
      if (down && !seen.held.has(button)) {
        seen.held.add(button);
        onKey(key);
      } else if (!down) {
        seen.held.delete(button);
      }
    }
    // One press per lean: the stick must come back towards the middle, or over to the other
    // side, before it presses again.
    const value = Number(pad.axes[STICK_Y]) || 0;
    const direction = value <= -STICK_PRESS ? -1 : value >= STICK_PRESS ? 1 : 0;
    if (direction !== 0 && direction !== seen.stick) {
      seen.stick = direction;
      onKey(direction < 0 ? "ArrowUp" : "ArrowDown");
    } else if (Math.abs(value) < STICK_RELEASE) {
      seen.stick = 0;
    }
  }

  function poll() {
    scheduled = false;
    const present = pads();
    const indices = new Set(present.map((pad) => pad.index));
    for (const index of known.keys()) if (!indices.has(index)) known.delete(index);
    for (const pad of present) pollPad(pad);
    schedule(present.length > 0);
  }

  function schedule(often) {
    if (scheduled) return;
    scheduled = true;
    if (often) requestAnimationFrame(poll); else setTimeout(poll, IDLE_POLL_MS);
  }

  return {
    // Starts polling; `keyPressed` gets "ArrowUp", "ArrowDown" or "Enter" for each press.
    start(keyPressed) {
      onKey = keyPressed;
      addEventListener("gamepadconnected", () => { if (!scheduled) schedule(true); });
      schedule(pads().length > 0);
    },
  };
})();
