#include "race/race_rumble.h"

#include <algorithm>
#include <cmath>

#include "framework/input.h"

namespace {
RumblePulse pending;
// A pulse went to the pad since the race last stopped it.
bool rumbling = false;

// The frame keeps its strongest pulse; of two as strong, the longer.
void Note(const RumblePulse& p) {
    const float was = std::max(pending.low, pending.high), is = std::max(p.low, p.high);
    if (is > was || (is == was && p.ms > pending.ms)) pending = p;
}

RumblePulse HitPulse(float speedChange) {
    const float hardness = std::clamp(std::fabs(speedChange) / kHitFullSpeedLoss, 0.0f, 1.0f);
    const float strength = kHitPulseFloor + (1.0f - kHitPulseFloor) * hardness;
    return RumblePulse{strength, strength, kHitPulseMs};
}
}  // namespace

void CueWallHit(float speedChange) { Note(HitPulse(speedChange)); }

void CueCarHit(float speedChange) { Note(HitPulse(speedChange)); }

void CueBoostStart() { Note(RumblePulse{kBoostPulse, 0.0f, kBoostPulseMs}); }

RumblePulse PendingRumble() { return pending; }

void ClearRumbleCues() { pending = RumblePulse{}; }

void SendRumbleCues(bool live) {
    if (!live) {
        if (rumbling) StopRaceRumble();
    } else if (pending.ms > 0) {
        RumblePad(pending.low, pending.high, pending.ms);
        rumbling = true;
    }
    ClearRumbleCues();
}

void StopRaceRumble() {
    StopPadRumble();
    rumbling = false;
}
