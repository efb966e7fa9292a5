// The bridge to the game's WebAssembly module: it loads the module with the page's drawing and
// dialog functions for the game to call, and runs each call into the game followed by the paint
// it asked for and the page's own upkeep (storage, menus, the pause).

export const game = {
  module: null,    // emscripten's Module once the runtime is up
  ready: false,    // the game takes calls: the title is up and the font has come
};

const upkeep = [];

// `work` runs after every call into the game, in the order given.
export function afterEachCall(work) {
  upkeep.push(work);
}

// Runs one call into the game, then the paint it asked for. The game never waits inside a call:
// its dialogs are requests the page answers later with another call.
export function callGame(call) {
  if (!game.ready) return;
  call(game.module);
  settle();
}

function settle() {
  if (game.module._pp_web_take_paint_request()) game.module._pp_web_paint();
  for (const work of upkeep) work();
}

// Loads pocketperna.js with `page` as Module.page, which the module's drawing and dialogs call;
// resolves with the module once its runtime is up. The script reads a global Module, so it is
// added only once that exists.
export function loadModule(page, script = "pocketperna.js", wasm = "pocketperna.wasm") {
  return new Promise((resolve) => {
    const module = {
      page,
      onRuntimeInitialized: () => {
        game.module = module;
        resolve(module);
      },
      // The module compiled since the page began (index.html), or else fetched and compiled now;
      // a server that sends it under another type than application/wasm gets the slower way.
      instantiateWasm(imports, receive) {
        const fetched = () => fetch(wasm, { credentials: "same-origin" })
          .then((response) => response.arrayBuffer())
          .then((bytes) => WebAssembly.compile(bytes));
        Promise.resolve(window.pernaWasm || Promise.reject(new Error("not compiled yet")))
          .catch(fetched)
          .then((compiled) => WebAssembly.instantiate(compiled, imports).then((instance) => receive(instance, compiled)));
        return {};
      },
    };
    window.Module = module;
    const tag = document.createElement("script");
    tag.src = script;
    tag.async = true;
    document.body.appendChild(tag);
  });
}

// The game's state as JSON, for tests and the page's own checks.
export function gameState() {
  if (!game.module) return null;
  return JSON.parse(game.module.UTF8ToString(game.module._pp_web_state_json()));
}
