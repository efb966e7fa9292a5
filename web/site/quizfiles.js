// The quiz files opened last, kept whole in the browser's storage (IndexedDB), newest first: a
// file chosen with the picker cannot be read again without its bytes, so the title's one-key
// restart and "最近使ったファイル" need them kept. Without storage the list lives for this visit.
export const QuizFiles = (() => {
  const DATABASE = "pocketperna";
  const STORE = "quizFiles";
  // As many as the desktop's recent-files menu lists.
  const KEPT = 8;

  let files = [];  // { name, bytes, opened }, newest first
  let database = null;

  function request(operation) {
    return new Promise((resolve, reject) => {
      operation.onsuccess = () => resolve(operation.result);
      operation.onerror = () => reject(operation.error);
    });
  }

  function openDatabase() {
    return new Promise((resolve, reject) => {
      const opening = indexedDB.open(DATABASE, 1);
      opening.onupgradeneeded = () => opening.result.createObjectStore(STORE, { keyPath: "name" });
      opening.onsuccess = () => resolve(opening.result);
      opening.onerror = () => reject(opening.error);
      opening.onblocked = () => reject(new Error("the quiz file store is blocked"));
    });
  }

  // Writes run one after another, and a failed one (storage full, say) costs only this visit.
  let writing = Promise.resolve();
  function write(change) {
    if (!database) return writing;
    writing = writing.then(() => new Promise((resolve) => {
      const transaction = database.transaction(STORE, "readwrite");
      change(transaction.objectStore(STORE));
      transaction.oncomplete = resolve;
      transaction.onerror = resolve;
      transaction.onabort = resolve;
    })).catch(() => {});
    return writing;
  }

  return {
    // Reads the kept files; the list is empty when the browser keeps none.
    async load() {
      try {
        database = await openDatabase();
        const stored = await request(database.transaction(STORE).objectStore(STORE).getAll());
        files = stored
          .filter((file) => typeof file.name === "string" && file.name !== "" && file.bytes instanceof Uint8Array)
          .sort((a, b) => b.opened - a.opened)
          .slice(0, KEPT);
      } catch (error) {
        database = null;
        files = [];
      }
      return files;
    },

    // The kept files, newest first.
    list: () => files,

    // `name` was opened with `bytes`: it moves to the front, and the oldest beyond KEPT go.
    remember(name, bytes) {
      const opened = Math.max(Date.now(), files.length > 0 ? files[0].opened + 1 : 0);
      const kept = { name, bytes: new Uint8Array(bytes), opened };
      const dropped = files.filter((file) => file.name !== name).slice(KEPT - 1);
      files = [kept, ...files.filter((file) => file.name !== name)].slice(0, KEPT);
      return write((store) => {
        store.put(kept);
        for (const file of dropped) store.delete(file.name);
      });
    },

    forget(name) {
      files = files.filter((file) => file.name !== name);
      return write((store) => store.delete(name));
    },
  };
})();
