#include <emscripten.h>

#include "platform/persist.h"

void SysPersistUserFiles() {
    // The page's storage is written in the background; a failure is reported on the console.
    EM_ASM({
        FS.syncfs(false, function(error) {
            if (error) console.warn("korvan: cannot keep the saved files in the browser's storage: " + error);
        });
    });
}
