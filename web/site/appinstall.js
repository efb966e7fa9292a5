// The page as an installed app: the service worker (sw.js) that keeps the game's files for
// offline play, the switch to a new version once one is served, and the browser's install prompt,
// offered in the menu as "アプリとしてインストール...".

// How long the page must have had nothing under way before the worker copies the game's files:
// its copy would otherwise share the line with what the player is waiting for.
export const QUIET_MS = 2000;

// Tells, from one look at the page after another, when the worker may start: once the page has
// been quiet for QUIET_MS without a break, or at once when it is hidden, as no one waits then.
export function quietWatch(quietMs = QUIET_MS) {
  let quietSince = null;
  return (now, quiet, hidden) => {
    if (hidden) return true;
    if (!quiet) {
      quietSince = null;
      return false;
    }
    if (quietSince === null) quietSince = now;
    return now - quietSince >= quietMs;
  };
}

export const AppInstall = (() => {
  const IDLE_CHECK_MS = 1000;
  const QUIET_CHECK_MS = 250;
  let installPrompt = null;
  let changed = () => {};
  let idle = () => false;


  // A new version takes over only on the title, so a game under way is never cut short.
  function reloadWhenIdle() {
    if (idle()) location.reload();
    else setTimeout(reloadWhenIdle, IDLE_CHECK_MS);
  }

  return {
    // Keeps the browser's install prompt from the page's start, since it may come at any time.
    listen() {
      addEventListener("beforeinstallprompt", (event) => {
        // Kept for the menu: the browser's own bar would cover the picture on a phone.
        event.preventDefault();
        installPrompt = event;
        changed();
      });
      addEventListener("appinstalled", () => { installPrompt = null; });
    },
    // Registers the worker once the player waits on nothing (`isQuiet`, see quietWatch), so that
    // its copies never compete with the first game's files. `isIdle` tells when a new version may
    // take over; `onChange` runs when the prompt comes or goes.
    start(isIdle, onChange, isQuiet) {
      idle = isIdle;
      changed = onChange;
      if (!("serviceWorker" in navigator)) return;
      // Listened for at once: a returning visit's navigation itself may bring a new version's worker.
      const updating = navigator.serviceWorker.controller !== null;
      navigator.serviceWorker.addEventListener("controllerchange", () => { if (updating) reloadWhenIdle(); });
      const ready = quietWatch();
      let timer = null;
      const look = () => {
        if (timer === null || !ready(performance.now(), isQuiet(), document.hidden)) return;
        clearInterval(timer);
        timer = null;
        document.removeEventListener("visibilitychange", look);
        navigator.serviceWorker.register("sw.js").catch(() => {});  // no worker: the page plays online
      };
      timer = setInterval(look, QUIET_CHECK_MS);
      document.addEventListener("visibilitychange", look);
      look();
    },
    canInstall: () => installPrompt !== null,
    async install() {
      if (!installPrompt) return;
      const shown = installPrompt;
      installPrompt = null;
      await shown.prompt();
      changed();
    },
  };
})();
