// True while the game waits in its name dialog: the page must not call it until that is over.
Module["gameWaiting"] = () => Asyncify.currData !== null;
