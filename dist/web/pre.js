// Runs before the game starts in the page: the player's files (korvan.cfg, the save, the ghosts)
// live under the home folder, kept in the browser's IndexedDB; they are read back before the game
// starts and written after each save (SysPersistUserFiles).
Module.preRun = Module.preRun || [];
Module.preRun.push(function () {
  // Variables for the game's environment the page was given (the web test asks for every log line).
  var extra = Module.environment || {};
  for (var name in extra) ENV[name] = extra[name];
  var home = ENV.HOME || '/home/web_user';
  FS.mkdirTree(home);
  FS.mount(IDBFS, {}, home);
  addRunDependency('korvan-user-files');
  FS.syncfs(true, function (error) {
    if (error) console.warn('korvan: the saved files cannot be read from the browser\'s storage: ' + error);
    removeRunDependency('korvan-user-files');
  });
});
