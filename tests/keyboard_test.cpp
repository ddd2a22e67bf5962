// Every key reaches the game as a key: no input method composes letters into text.
#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/system.h"

TEST(Keyboard, TextInputIsOffOnceTheSystemStarts) {
    ASSERT_TRUE(SysInit(true));
    // SDL turns text input on with the video on desktops; an input method would then take letters.
    EXPECT_FALSE(SDL_IsTextInputActive());
    SysShutdown();
}
