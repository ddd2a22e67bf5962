// Keeping the player's files. On the desktop a replaced file is on the disk once it is flushed. In
// the browser the files live in memory and are copied to the page's own storage (IndexedDB) here,
// after each replacement, so a closed tab or a reload keeps them.
#pragma once

void SysPersistUserFiles();
