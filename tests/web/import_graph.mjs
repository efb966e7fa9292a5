// Checks the page's modules: every relative import names a file of the folder, and the imports
// form no cycle (a cycle lets a module run before what it uses is defined).
// Usage: node import_graph.mjs MODULES-FOLDER   (the modules as written, before they are bundled)
import fs from "node:fs";
import path from "node:path";

const IMPORT = /^\s*(?:import|export)\s[^;]*?from\s+["'](\.\/[^"']+)["']|^\s*import\s+["'](\.\/[^"']+)["']/gm;

export function importGraph(folder) {
  const graph = new Map();
  for (const name of fs.readdirSync(folder).filter((file) => file.endsWith(".js"))) {
    const text = fs.readFileSync(path.join(folder, name), "utf8");
    const targets = [];
    for (const match of text.matchAll(IMPORT)) targets.push(path.posix.normalize(match[1] || match[2]));
    graph.set(name, targets);
  }
  return graph;
}

// The first cycle found, as a list of modules ending where it began, or null.
export function findCycle(graph) {
  const state = new Map();  // 1: on the current path, 2: done
  const trail = [];
  const visit = (name) => {
    state.set(name, 1);
    trail.push(name);
    for (const next of graph.get(name) || []) {
      if (state.get(next) === 1) return [...trail.slice(trail.indexOf(next)), next];
      if (!state.has(next)) {
        const found = visit(next);
        if (found) return found;
      }
    }
    trail.pop();
    state.set(name, 2);
    return null;
  };
  for (const name of [...graph.keys()].sort()) {
    if (state.has(name)) continue;
    const found = visit(name);
    if (found) return found;
  }
  return null;
}

if (process.argv[1] && import.meta.url.endsWith(path.basename(process.argv[1]))) {
  const graph = importGraph(process.argv[2]);
  let failed = false;
  for (const [name, targets] of graph) {
    for (const target of targets) {
      if (!graph.has(target)) { console.error(`${name} imports ${target}, which is not in the folder`); failed = true; }
    }
  }
  const cycle = findCycle(graph);
  if (cycle) { console.error(`import cycle: ${cycle.join(" -> ")}`); failed = true; }
  const edges = [...graph.values()].reduce((sum, targets) => sum + targets.length, 0);
  console.log(`${graph.size} modules, ${edges} imports${failed ? "" : ", no cycle"}`);
  process.exit(failed ? 1 : 0);
}
