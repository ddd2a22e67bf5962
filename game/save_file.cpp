#include "game/save_file.h"
bool WriteSaveFile() { return false; }
bool ReadSaveFile() { return false; }
