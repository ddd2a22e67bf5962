// The game's entry points for the framework: boot, the first scene, quit.
#include "framework/application.h"
#include "framework/debug_log.h"

// Until the boot loader fills the asset tables, the game shows a black screen.
static void BlackFrame() {}

void GameBoot() {}

void GameFirstFrame() { frameProc = BlackFrame; }

void GameQuit() {}
