// The pad's rumble in a race: the step notes the frame's wall hits, collisions with opponents and
// boost starts; the race frame sends the strongest of them to the pad while the race runs, and
// stops the pad at once when it pauses or ends. Nothing here is read by the race's rules, so a
// race runs the same with and without a pad that rumbles.
#pragma once

// A pulse: the strength of the pad's two motors (0..1) and its length.
struct RumblePulse {
    float low = 0.0f, high = 0.0f;
    int ms = 0;
};

// Lengths and strengths of the pulses. A hit is short, stronger the more speed the car lost (or
// had turned round); a boost is a longer, soft hum of the low motor.
constexpr int kHitPulseMs = 120;
constexpr int kBoostPulseMs = 450;
constexpr float kHitPulseFloor = 0.3f;  // the softest touch still felt
constexpr float kHitFullSpeedLoss = 10.0f;  // a change of this much speed is the strongest pulse
constexpr float kBoostPulse = 0.25f;

// The step's notes for this frame. `speedChange` is how much the car's speed along its axis
// changed in the hit (a bounce back off a wall counts the whole turn-round).
void CueWallHit(float speedChange);
void CueCarHit(float speedChange);
void CueBoostStart();
// The pulse noted so far this frame (all zero when none).
RumblePulse PendingRumble();
// Forgets the frame's notes (the start of every step, and a race set up afresh).
void ClearRumbleCues();
// The race frame's end of the step: while `live` (the race running, not paused or over) the
// frame's pulse goes to the pad; once the race stops being live the pad is stopped. The notes are
// cleared either way.
void SendRumbleCues(bool live);
// Stops the pad at once (pause, the race's end).
void StopRaceRumble();
