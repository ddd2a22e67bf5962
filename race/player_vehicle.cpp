#include "race/player_vehicle.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "courses/course_builder.h"
#include "courses/course_geometry.h"
#include "courses/track_queries.h"
#include "framework/input.h"
#include "race/opponents.h"
#include "race/race_state.h"
#include "game/pad_config.h"
#include "game/scene_flow.h"
#include "game/settings.h"

Spark sparks[20];

namespace {
constexpr float kTwoPi = 6.2831853f;
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
constexpr float kBodyLift = 6.0f;
constexpr int kSparkLife = 10;

bool KeyHeld(int code) { return KeyState(code) >= 2; }
bool KeyJustPressed(int code) { return KeyState(code) == 2; }
bool PadHeld(int input) { return PadState(0, input) >= 2; }
bool PadJustPressed(int input) { return PadState(0, input) == 2; }

bool LeftHeld() { return KeyHeld(DIK_LEFT) || KeyHeld(DIK_NUMPAD4) || PadHeld(kPadLeft); }
bool RightHeld() { return KeyHeld(DIK_RIGHT) || KeyHeld(DIK_NUMPAD6) || PadHeld(kPadRight); }
bool LeftJustPressed() { return KeyJustPressed(DIK_LEFT) || KeyJustPressed(DIK_NUMPAD4) || PadJustPressed(kPadLeft); }
bool RightJustPressed() { return KeyJustPressed(DIK_RIGHT) || KeyJustPressed(DIK_NUMPAD6) || PadJustPressed(kPadRight); }
bool BoostHeld() {
    return KeyHeld(DIK_LSHIFT) || KeyHeld(DIK_SPACE) || KeyHeld(DIK_NUMPAD0) || PadHeld(padButtons[kPadBoost]);
}

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

D3DXVECTOR3 Row(const D3DXMATRIX& m, int row) { return D3DXVECTOR3(m.m[row][0], m.m[row][1], m.m[row][2]); }

void SetPosition(Model& m, const D3DXVECTOR3& p) {
    m.localMatrix._41 = p.x;
    m.localMatrix._42 = p.y;
    m.localMatrix._43 = p.z;
}

// A bump against a wall while moving toward it: back to last frame's place, slower, no drift.
void BounceOffWall(bool leftOn, bool rightOn, float turnWhenLeftOff) {
    RaceState& r = raceState;
    playerBody.localMatrix = r.previousPose;
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
    PlaySound(kSoundHit);
}

// The matrices the pose replaces, put back by UnposeCarParts.
D3DXMATRIX savedBody;
D3DXMATRIX savedTires[4];
bool posed = false;
}  // namespace

void KeepSoundPlaying(SoundSlot slot) {
    if (bgmType <= 0) return;
    if (!sounds[slot].IsPlaying()) sounds[slot].Play(false);
}

bool GasHeld() {
    return KeyHeld(DIK_Z) || KeyHeld(DIK_A) || KeyHeld(DIK_UP) || KeyHeld(DIK_NUMPAD8) || PadHeld(kPadUp) ||
           PadHeld(padButtons[kPadGas]);
}

bool GasJustPressed() {
    return KeyJustPressed(DIK_Z) || KeyJustPressed(DIK_A) || KeyJustPressed(DIK_UP) || KeyJustPressed(DIK_NUMPAD8) ||
           PadJustPressed(kPadUp) || PadJustPressed(padButtons[kPadGas]);
}

bool BrakeHeld() {
    return KeyHeld(DIK_X) || KeyHeld(DIK_S) || KeyHeld(DIK_DOWN) || KeyHeld(DIK_NUMPAD5) || PadHeld(kPadDown) ||
           PadHeld(padButtons[kPadBrake]);
}

float RandomLift() { return static_cast<float>(std::rand() % 20000) / 60000.0f; }

void DriveByInput(uint8_t* gasHeld, uint8_t* brakeHeld) {
    RaceState& r = raceState;
    // 1. Steering; both directions cancel.
    if (LeftHeld()) r.steerInput -= 1;
    if (RightHeld()) r.steerInput += 1;

    // 2. The slide: a double tap of one direction within 8 frames.
    if (r.sideSpeed != 0.0f) {
        r.slideTapTimer = 0;
    } else {
        const bool tapLeft = LeftJustPressed(), tapRight = RightJustPressed();
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
    const bool gas = GasHeld(), brake = BrakeHeld();
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
    if (BoostHeld() && r.boostStock > 0 && r.boostTimer == 0) {
        r.boostTimer = kBoostFrames;
        r.boostStock -= 1;
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
    Model probe = playerBody;
    OrientOnTrack(probe, r.heading);
    const float a = YawTo(probe, target - probe.GetPosition());
    r.heading = WrapHeading(r.heading + std::clamp(a, -kAutoTurnLimit, kAutoTurnLimit));
    r.steerInput = a < -kDriftTurnRate ? -1 : (a > kDriftTurnRate ? 1 : 0);

    // 3-4. Boost on the course's boost sections.
    if ((r.section == g.boostSectionA || r.section == g.boostSectionB) && r.boostTimer == 0) {
        r.boostTimer = kBoostFrames;
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

void OrientOnTrack(Model& body, float yaw) { OrientOnHalf(body, 2 * raceState.section + raceState.half, yaw); }

void PlaceAndMoveCar() {
    RaceState& r = raceState;
    OrientOnTrack(playerBody, r.heading + r.driftAngle);
    r.previousPose = playerBody.localMatrix;
    playerBody.MoveLocal(r.sideSpeed, 0.0f, r.speed);
}

void CarContacts() {
    RaceState& r = raceState;
    D3DXMATRIX toPlayer;
    if (!D3DXMatrixInverse(&toPlayer, nullptr, &playerBody.localMatrix)) return;
    const D3DXVECTOR3 lo = playerBody.corners[7], hi = playerBody.corners[0];
    const D3DXVECTOR3 pos = playerBody.GetPosition();
    for (int i = 0; i < r.enemyCount && i < MaxOpponents; ++i) {
        if (!WithinSections(r.section, oppSection[i], kContactSections)) continue;
        const D3DXVECTOR3 gap = oppBodies[i].GetPosition() - pos;
        if (D3DXVec3Length(&gap) >= kContactRange) continue;
        D3DXVECTOR3 corners[8];
        oppBodies[i].GetCorners(corners);
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
        std::swap(r.speed, oppSpeed[i]);
        playerBody.localMatrix = r.previousPose;
        PlaySound(kSoundEneHit);
    }
}

void EdgeContacts() {
    RaceState& r = raceState;
    D3DXVECTOR3 up = playerBody.GetAxisY();
    CarCorners c = CarCornerPoints();
    const bool frontLeft = TestSurface(c.frontLeft, up, r.section).Any();
    const bool frontRight = TestSurface(c.frontRight, up, r.section).Any();
    if (!frontLeft || !frontRight) {
        r.sideSpeed = 0.0f;
        if (r.speed > 0.0f) BounceOffWall(frontLeft, frontRight, kWallTurn);
    }
    GlueToSurface();

    up = playerBody.GetAxisY();
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
    const RaceState& r = raceState;
    const D3DXVECTOR3 pos = playerBody.GetPosition(), up = playerBody.GetAxisY();
    const D3DXVECTOR3 top = pos + up * kGlueReach, bottom = pos - up * kGlueReach;
    D3DXVECTOR3 hit;
    if (D3DXPlaneIntersectLine(&hit, &courseGeometry.halfPlane[2 * r.section + r.half], &top, &bottom))
        SetPosition(playerBody, hit);
}

void PoseCarParts(float lift) {
    const RaceState& r = raceState;
    savedBody = playerBody.localMatrix;
    for (int t = 0; t < 4; ++t) savedTires[t] = playerTires[t].localMatrix;
    posed = true;

    OrientOnTrack(playerBody, r.heading);
    playerBody.RotateZ(-r.driftAngle / 4.0f);
    const D3DXVECTOR3 n = courseGeometry.halfNormal[2 * r.section + r.half] * kBodyLift;
    playerBody.MoveParent(n.x, n.y, n.z);
    playerBody.MoveLocal(0.0f, lift, 0.0f);
    const float steer = static_cast<float>(r.steerInput) * kSteerShown * (r.speed < 0.0f ? -1.0f : 1.0f);
    for (int t = 0; t < 4; ++t) {
        playerTires[t].RotateZ(r.driftAngle / 4.0f);
        if (t < 2) playerTires[t].RotateY(steer);
        playerTires[t].RotateX(r.wheelSpin);
    }
}

void UnposeCarParts(float lift) {
    if (!posed) return;
    playerBody.localMatrix = savedBody;
    for (int t = 0; t < 4; ++t) playerTires[t].localMatrix = savedTires[t];
    posed = false;
}

void ClearSparks() {
    for (Spark& s : sparks) s = Spark{0, D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0)};
}

void AdvanceSparks() {
    for (Spark& s : sparks) {
        if (s.life <= 0) continue;
        s.position += s.velocity;
        s.life -= 1;
    }
}

void DriftSparks() {
    const RaceState& r = raceState;
    if (r.gripState != -1 || std::fabs(r.driftAngle) <= kSparkDrift) return;
    KeepSoundPlaying(kSoundDrift);
    const D3DXMATRIX& m = playerBody.localMatrix;
    const D3DXVECTOR3 right = Row(m, 0), up = Row(m, 1), forward = Row(m, 2), pos = Row(m, 3);
    // They fly from the rear corner on the outside of the slide, backward from the car.
    const D3DXVECTOR3 origin = pos - up * 4.0f - forward * 7.0f + right * (r.driftAngle >= 0.0f ? -7.0f : 7.0f);
    for (Spark& s : sparks) {
        if (std::rand() % 10 != 0) continue;
        s.life = kSparkLife;
        s.position = origin;
        s.velocity = -forward;
        s.velocity.x += static_cast<float>(std::rand() % 1000 - 500) * 0.002f;
        s.velocity.y += static_cast<float>(std::rand() % 1000 - 500) * 0.002f;
        s.velocity.z += static_cast<float>(std::rand() % 1000 - 500) * 0.002f;
    }
}
