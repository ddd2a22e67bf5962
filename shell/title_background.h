// The title's world, drawn behind every shell menu: the planets turning about the viewer, lit by
// the title's light, the six KORVAN letters in a row above the menu, and the subtitle sliding in.
// The intro runs on the scene frame counter: the ambient light rises from black between frames 181
// and 360, the subtitle slides in from the right between 361 and 540, and from 541 on the letters
// turn one after another.
#pragma once
#include <cstdint>

// The title set-up, run before every switch to the title: fog by Fog Type, ambient black, the
// title's light, "BackGround10_1.x" as the background, "Title.mid" loaded into both players and
// started under the BGM Type.
void TitleSetUp();
// "Title.mid" loaded into both players again, without playing it.
void ReloadTitleTune();
// The step of the title's world: the background turns 0.04 radians a frame.
void StepTitleBackground();
// Draws the world for the intro clock t (the scene frame counter) into the begun frame; fog, light
// 0 and lighting are off and texture stage 0 unbound afterwards, ready for the menu's 2D.
void DrawTitleBackground(int t);
// The background at frame t with one of each kind of screen draw the menus make over it.
void DrawTitleWithMenuKinds(int t);

// The menus' millisecond clock: the frames the game has run at 60 a second. It drives the
// letters' turns and the blinking help, and repeats exactly in a scripted run.
uint32_t MenuClockMs();
// How far letter i (0..5) has turned at the menu clock `ms`: one full turn every 4000 ms, taking
// 1000 ms, the letters 300 ms apart.
float LetterTurn(int letter, uint32_t ms);
// The ambient light of intro frame t: black to 180, rising to grey 0xff808080 by 360.
uint32_t TitleAmbient(int t);
// The subtitle's left edge at intro frame t: off screen to 360, sliding in to rest at 370 by 540.
int SubtitleLeft(int t);
