#include "game/pad_config.h"

int padButtons[kPadActionCount] = {6, 7, 8, 9, 10};

void ResetPadButtons() {
    for (int i = 0; i < kPadActionCount; ++i) padButtons[i] = 6 + i;
}

bool PadButtonsValid(const int buttons[kPadActionCount]) {
    for (int i = 0; i < kPadActionCount; ++i) {
        if (buttons[i] < 6 || buttons[i] > 13) return false;
        for (int j = 0; j < i; ++j) {
            if (buttons[i] == buttons[j]) return false;
        }
    }
    return true;
}
