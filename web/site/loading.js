// The small progress sign over the picture while anything a game needs is still on its way, and
// the player's go while the title shows before the font: a tap or Return then is kept and given
// to the game once it can take it, so the first tap is never lost.
export const Loading = (() => {
  let total = 0;
  let done = 0;
  let keptGo = false;
  let finished = false;
  const sign = () => document.getElementById("loading");

  function show() {
    const bar = sign();
    bar.max = Math.max(1, total);
    bar.value = done;
    bar.hidden = done >= total;
  }

  function keepGo(event) {
    if (finished) return;
    if (event.type === "keydown" && event.key !== "Enter" && event.key !== " ") return;
    if (event.type === "pointerup" && event.button !== 0) return;
    keptGo = true;
  }

  return {
    // Listens for a go on the picture from now until `finish`.
    start(canvas) {
      canvas.addEventListener("pointerup", keepGo);
      document.addEventListener("keydown", keepGo);
      show();
    },

    // Counts `work` (a promise) among what is loading until it settles.
    track(work) {
      total += 1;
      show();
      const settled = () => { done += 1; show(); };
      Promise.resolve(work).then(settled, settled);
      return work;
    },

    // Play can begin: `go` gets the tap or Return given meanwhile, if any.
    finish(go) {
      finished = true;
      if (keptGo) go();
      keptGo = false;
    },

    // The sign goes once the rest (the sounds) has come too.
    playable: () => finished,
    loading: () => !sign().hidden,
  };
})();
