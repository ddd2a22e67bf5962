// The title menu: "Rash Into Races ", "Records ", "Option ", "Save ", "Load ", "Quit " over the
// title's world. It fades in, reads keys until frame 1750 of its idle counter, fades its tune out
// there, and after frame 1800 hands over to the attract sequence.
#pragma once

void TitleFrame();
// The title from anywhere: the title set-up, the idle counter from 0, the title scene.
void GoToTitleScreen();
