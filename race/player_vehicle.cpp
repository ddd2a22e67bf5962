#include "race/player_vehicle.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "courses/course_builder.h"
#include "courses/course_geometry.h"
#include "courses/track_queries.h"
#include "framework/placement.h"
#include "game/controls.h"
#include "game/sound_effects.h"
#include "race/opponents.h"
#include "race/race_rumble.h"
#include "race/race_state.h"
#include "game/scene_flow.h"
#include "game/settings.h"

namespace {
constexpr float kSlideImpulse = 5.0f;
constexpr int kSlideWindow = 8;
constexpr float kDriftDecay = 1.04f;
constexpr float kDriftMinSpeed = 5.0f;
constexpr float kBoostSpeed = 22.0f;
constexpr float kBoostNoGasBonus = 2.0f;
constexpr float kAutoBoostSpeed = 24.0f;
constexpr float kTopSpeedSoft = 18.3f;
constexpr float kTopSpeedHard = 18.1f;
constexpr float kReverseLimit = -1.0f;
constexpr float kSideDecay = 0.5f;
constexpr float kContactRange = 100.0f;
constexpr int kContactSections = 3;
constexpr float kGlueReach = 100.0f;

int StepTowardZero(int v) { return v > 0 ? v - 1 : (v < 0 ? v + 1 : 0); }

float WrapHeading(float h) {
    if (h < -kTwoPi) h += kTwoPi;
    if (h > kTwoPi) h -= kTwoPi;
    return h;
}

// A drift ends when its condition fails: grip back, no drift angle, no reversing.
void EndDrift() {
    RaceState& r = raceState;
    r.gripState = 0;
    r.driftAngle = 0.0f;
    if (r.speed < 0.0f) r.speed = 0.0f;
}

void BoostSoundCue(int timer) {
    if (timer == 150 || timer == 120 || timer == 90) PlaySound(kSoundBoost2);
}

// A bump against a wall while moving toward it: back to last frame's place, slower, no drift.
void BounceOffWall(bool leftOn, bool rightOn, float turnWhenLeftOff) {
    RaceState& r = raceState;
    const float speedBefore = r.speed;
    r.placement = r.previousPlacement;
    r.speed /= r.gripState == -1 ? 2.0f : 1.2f;
    r.driftAngle = 0.0f;
    r.gripState = 0;
    if (!leftOn && !rightOn) {
        r.speed = -r.speed;
    } else if (!leftOn) {
        r.heading += turnWhenLeftOff;
    } else {
        r.heading -= turnWhenLeftOff;
    }
    CueWallHit(speedBefore - r.speed);
    PlaySound(kSoundHit);
}
}  // namespace

void KeepSoundPlaying(SoundSlot slot) {
    if (bgmType <= 0) return;
    if (!sounds[slot].IsPlaying()) sounds[slot].Play(false);
}

float RandomLift() { return static_cast<float>(std::rand() % 20000) / 60000.0f; }

void DriveByInput(uint8_t* gasHeld, uint8_t* brakeHeld) {
    RaceState& r = raceState;
    // 1. Steering; both directions cancel.
    const Controls& c = controls;
    if (c.left.held) r.steerInput -= 1;
    if (c.right.held) r.steerInput += 1;

    // 2. The slide: a double tap of one direction within 8 frames.
    if (r.sideSpeed != 0.0f) {
        r.slideTapTimer = 0;
    } else {
        const bool tapLeft = c.left.pressed, tapRight = c.right.pressed;
        if (tapLeft == tapRight) {
            r.slideTapTimer = StepTowardZero(r.slideTapTimer);
        } else if (tapLeft) {
            if (r.slideTapTimer < 0) {
                r.slideTapTimer = 0;
                if (r.speed != 0.0f) {
                    r.sideSpeed = -kSlideImpulse;
                    PlaySound(kSoundSlide);
                }
            } else {
                r.slideTapTimer = -kSlideWindow;
            }
        } else {
            if (r.slideTapTimer > 0) {
                r.slideTapTimer = 0;
                if (r.speed != 0.0f) {
                    r.sideSpeed = kSlideImpulse;
                    PlaySound(kSoundSlide);
                }
            } else {
                r.slideTapTimer = kSlideWindow;
            }
        }
    }

    // 3. Turning.
    const bool drifting = r.gripState == -1;
    if (drifting) {
        if (r.steerInput == -1) {
            r.heading -= kDriftTurnRate;
            r.driftAngle += kDriftTurn;
        } else if (r.steerInput == 1) {
            r.heading += kDriftTurnRate;
            r.driftAngle -= kDriftTurn;
        }
    } else if (r.speed != 0.0f) {
        if (r.steerInput == -1) {
            r.heading -= kTurnRate;
            r.driftAngle += kGripTurn;
        } else if (r.steerInput == 1) {
            r.heading += kTurnRate;
            r.driftAngle -= kGripTurn;
        }
    }

    // 4. The drift angle decays; a drift with no steering left recovers.
    if (std::fabs(r.driftAngle) > kDriftFloor) {
        r.driftAngle /= kDriftDecay;
    } else if (!drifting) {
        r.driftAngle = 0.0f;
    } else if (r.steerInput == 0) {
        r.gripState = 0;
        r.driftAngle = 0.0f;
        sounds[kSoundDrift].Stop();
        PlaySound(kSoundRecover);
    }

    // 5.
    r.heading = WrapHeading(r.heading);

    // 6.
    const bool gas = c.gas.held, brake = c.brake.held;
    if (gas) *gasHeld = 1;
    if (brake) *brakeHeld = 1;

    // 7. Speed by gas and brake.
    if (r.gripState >= 0) {
        if (gas && !brake) {
            KeepSoundPlaying(kSoundEngine);
            r.gripState = kGripFrames;
            r.speed += 0.1f;
        } else if (!gas && !brake) {
            if (r.speed > 0.0f) {
                r.speed = std::max(0.0f, r.speed - 0.01f);
                r.gripState = std::max(0, r.gripState - 1);
            } else if (r.speed < 0.0f) {
                r.speed = std::min(0.0f, r.speed + 0.01f);
            }
        } else if (gas && brake) {
            KeepSoundPlaying(kSoundEngine);
            r.gripState = std::max(0, r.gripState - 1);
            r.speed -= 0.05f;
        } else {
            if (r.gripState > 0) r.gripState = r.speed > kDriftMinSpeed && r.steerInput != 0 ? -1 : 0;
            r.speed -= 0.1f;
        }
    } else {
        if (gas && !brake) {
            KeepSoundPlaying(kSoundEngine);
            r.speed -= 0.001f;
            if (!(r.speed >= kDriftMinSpeed)) EndDrift();
        } else if (!gas && !brake) {
            r.speed -= 0.02f;
            if (!(r.speed > kDriftMinSpeed)) EndDrift();
        } else if (gas && brake) {
            KeepSoundPlaying(kSoundEngine);
            r.speed -= 0.05f;
            if (!(r.speed >= kDriftMinSpeed)) EndDrift();
        } else {
            r.speed -= 0.2f;
            if (!(r.speed >= kDriftMinSpeed)) EndDrift();
        }
    }

    // 8. Boost: fired from the stock, then held at boost speed while it runs.
    if (c.boost.held && r.boostStock > 0 && r.boostTimer == 0) {
        r.boostTimer = kBoostFrames;
        r.boostStock -= 1;
        CueBoostStart();
        PlaySound(kSoundBoost1);
    }
    if (r.boostTimer > 0) {
        r.boostTimer -= 1;
        r.speed = kBoostSpeed + static_cast<float>(frameCount % 20) / 100.0f + (gas ? 0.0f : kBoostNoGasBonus);
        r.gripState = 0;
        r.driftAngle = 0.0f;
        BoostSoundCue(r.boostTimer);
    }
}

void DriveAuto(uint8_t* gasHeld, uint8_t* brakeHeld) {
    RaceState& r = raceState;
    const CourseGeometry& g = courseGeometry;
    // 1-2. Aim at the middle of the next boundary.
    const D3DXVECTOR3 target = BoundaryMid(NextSection(r.section));
    D3DXMATRIX probe = r.placement;
    OrientOnTrack(probe, r.heading);
    const float a = YawToPlacement(probe, nullptr, target - PlacementPosition(probe));
    r.heading = WrapHeading(r.heading + std::clamp(a, -kAutoTurnLimit, kAutoTurnLimit));
    r.steerInput = a < -kDriftTurnRate ? -1 : (a > kDriftTurnRate ? 1 : 0);

    // 3-4. Boost on the course's boost sections.
    if ((r.section == g.boostSectionA || r.section == g.boostSectionB) && r.boostTimer == 0) {
        r.boostTimer = kBoostFrames;
        CueBoostStart();
        PlaySound(kSoundBoost1);
    }
    if (r.boostTimer > 0) {
        r.boostTimer -= 1;
        r.gripState = 0;
        r.driftAngle = 0.0f;
        r.speed = kAutoBoostSpeed + static_cast<float>(frameCount % 20) / 100.0f;
        BoostSoundCue(r.boostTimer);
    }

    // 5.
    r.speed += 0.1f;
    *gasHeld = 1;
    KeepSoundPlaying(kSoundEngine);
}

void LimitSpeed() {
    RaceState& r = raceState;
    if (r.speed > kTopSpeedSoft) r.speed -= 0.009f;
    if (r.speed > kTopSpeedHard) r.speed -= 0.101f;
    if (r.speed < kReverseLimit) r.speed = kReverseLimit;
    if (r.sideSpeed > 0.0f) {
        r.sideSpeed = std::max(0.0f, r.sideSpeed - kSideDecay);
    } else if (r.sideSpeed < 0.0f) {
        r.sideSpeed = std::min(0.0f, r.sideSpeed + kSideDecay);
    }
    if (r.speed == 0.0f) r.sideSpeed = 0.0f;
}

void OrientOnTrack(D3DXMATRIX& body, float yaw) { OrientOnHalf(body, 2 * raceState.section + raceState.half, yaw); }

void PlaceAndMoveCar() {
    RaceState& r = raceState;
    OrientOnTrack(r.placement, r.heading + r.driftAngle);
    r.previousPlacement = r.placement;
    MoveLocal(r.placement, r.sideSpeed, 0.0f, r.speed);
}

void CarContacts() {
    RaceState& r = raceState;
    D3DXMATRIX toPlayer;
    if (!D3DXMatrixInverse(&toPlayer, nullptr, &r.placement)) return;
    const D3DXVECTOR3 lo = playerBody.corners[7], hi = playerBody.corners[0];
    const D3DXVECTOR3 pos = PlacementPosition(r.placement);
    for (int i = 0; i < r.enemyCount && i < MaxOpponents; ++i) {
        if (!WithinSections(r.section, opponents[i].section, kContactSections)) continue;
        const D3DXVECTOR3 gap = PlacementPosition(opponents[i].placement) - pos;
        if (D3DXVec3Length(&gap) >= kContactRange) continue;
        D3DXVECTOR3 corners[8];
        PlaceCorners(opponents[i].placement, opponentModels[i].body.corners, corners);
        int result = 0;
        for (int k = 0; k < 8; ++k) {
            // Inside the player's box is inside all six of its face planes.
            D3DXVECTOR3 q;
            D3DXVec3TransformCoord(&q, &corners[k], &toPlayer);
            if (q.x >= lo.x && q.x <= hi.x && q.y >= lo.y && q.y <= hi.y && q.z >= lo.z && q.z <= hi.z)
                result |= k < 4 ? 1 : 2;
        }
        if (result == 0) continue;
        if (result == 1) r.heading += kContactTurn;
        if (result == 2) r.heading -= kContactTurn;
        const float speedBefore = r.speed;
        std::swap(r.speed, opponents[i].speed);
        r.placement = r.previousPlacement;
        CueCarHit(speedBefore - r.speed);
        PlaySound(kSoundEneHit);
    }
}

void EdgeContacts() {
    RaceState& r = raceState;
    D3DXVECTOR3 up = PlacementAxisY(r.placement);
    CarCorners c = CarCornerPoints();
    const bool frontLeft = TestSurface(c.frontLeft, up, r.section).Any();
    const bool frontRight = TestSurface(c.frontRight, up, r.section).Any();
    if (!frontLeft || !frontRight) {
        r.sideSpeed = 0.0f;
        if (r.speed > 0.0f) BounceOffWall(frontLeft, frontRight, kWallTurn);
    }
    GlueToSurface();

    up = PlacementAxisY(r.placement);
    c = CarCornerPoints();
    const bool rearLeft = TestSurface(c.rearLeft, up, r.section).Any();
    const bool rearRight = TestSurface(c.rearRight, up, r.section).Any();
    if (!rearLeft || !rearRight) {
        r.sideSpeed = 0.0f;
        if (r.speed < 0.0f) BounceOffWall(rearLeft, rearRight, -kWallTurn);
    }
    GlueToSurface();
}

void GlueToSurface() {
    RaceState& r = raceState;
    const D3DXVECTOR3 pos = PlacementPosition(r.placement), up = PlacementAxisY(r.placement);
    const D3DXVECTOR3 top = pos + up * kGlueReach, bottom = pos - up * kGlueReach;
    D3DXVECTOR3 hit;
    if (D3DXPlaneIntersectLine(&hit, &courseGeometry.halfPlane[2 * r.section + r.half], &top, &bottom))
        SetPlacementPosition(r.placement, hit);
}

VehiclePose PlayerPose(float lift) {
    const RaceState& r = raceState;
    VehiclePose pose = RestPose(PlayerVehicleParts(), r.placement);
    OrientOnTrack(pose.body, r.heading);
    RotateZ(pose.body, -r.driftAngle / 4.0f);
    const D3DXVECTOR3 n = courseGeometry.halfNormal[2 * r.section + r.half] * kBodyLift;
    MoveParent(pose.body, n.x, n.y, n.z);
    MoveLocal(pose.body, 0.0f, lift, 0.0f);
    const float steer = static_cast<float>(r.steerInput) * kSteerShown * (r.speed < 0.0f ? -1.0f : 1.0f);
    for (int t = 0; t < 4; ++t) {
        RotateZ(pose.tires[t], r.driftAngle / 4.0f);
        if (t < 2) RotateY(pose.tires[t], steer);
        RotateX(pose.tires[t], r.wheelSpin);
    }
    return pose;
}
