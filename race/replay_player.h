// The replay after the finish sequence: the race played back from its recording with changing
// camera shots (nothing simulated: cars, crystals and effects come from the tables), between two
// curtains, until the recording ends or the player skips; then the results.
#pragma once

// The replay's start: a new shot on its first frame, a random trackside section, and the replay
// scene from frame 2.
void StartReplay();
void ReplayFrame();

// The replay's step alone (exposed for tests): the race state restored from recorded frame
// `frame`, the shot chosen and the camera placed.
void RestoreReplayFrame(int frame);
void PlaceReplayCamera();
