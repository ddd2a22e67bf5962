// The save file (interim: written by the save-file work).
#pragma once
bool WriteSaveFile();
bool ReadSaveFile();
