#include "platform/persist.h"

void SysPersistUserFiles() {}
