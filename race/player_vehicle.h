// The player's car: a frame-stepped kinematic model. The controller (keyboard and pad while
// racing, the automatic driver after the finish) changes speed, heading, drift and boost; the race
// frame then rebuilds the car's orientation from the track and the heading, moves it along its own
// axes, resolves contacts with the opponents and the track edges, and glues it to the road.
#pragma once
#include <cstdint>

#include "game/asset_tables.h"
#include "game/sound_effects.h"
#include "platform/math.h"
#include "race/vehicle.h"

// Angles of the driving model (radians per frame unless noted).
constexpr float kTurnRate = 0.012271847f;        // pi/256: steering, not drifting
constexpr float kDriftTurnRate = 0.024543693f;   // pi/128: steering while drifting
constexpr float kDriftTurn = 0.029452434f;       // drift angle gained per drifting steer frame
constexpr float kGripTurn = 0.0049087387f;       // pi/640: drift angle of ordinary steering
constexpr float kDriftFloor = 0.0040906155f;     // below this the drift angle decays no further
constexpr float kAutoTurnLimit = 0.03681554f;    // 3pi/256: the automatic driver's turn
constexpr float kContactTurn = 0.049087387f;     // 2pi/128: a side contact with an opponent
constexpr float kWallTurn = 0.024543693f;        // pi/128: a glancing wall contact
constexpr float kSteerShown = 0.31415927f;       // pi/10: front tyres at full lock
constexpr float kSparkDrift = 0.24543693f;       // 5pi/64: sparks fly beyond this drift angle

constexpr int kGripFrames = 10;   // gripState while the gas is held: the drift window in frames

// The two controllers (values of playerControl).
void DriveByInput(uint8_t* gasHeld, uint8_t* brakeHeld);
void DriveAuto(uint8_t* gasHeld, uint8_t* brakeHeld);

// Steps 5 to 7 of the race frame (its order in race_scenes.h).
void LimitSpeed();
void PlaceAndMoveCar();
void CarContacts();
void EdgeContacts();
void GlueToSurface();
// The car as drawn: upright on its half facing along the heading, rolled by a quarter of the drift,
// lifted 6 units off the road along its normal and shaken by `lift`; the front tyres steered, every
// tyre turned by the wheel spin and rolled with the drift.
VehiclePose PlayerPose(float lift);

// A placement's orientation rebuilt from the track: facing world +z, tilted onto the player's
// current half, turned by `yaw` about its up axis. The position is kept.
void OrientOnTrack(D3DXMATRIX& body, float yaw);
// A random shake of the car: (r mod 20000) / 60000.
float RandomLift();

// "plays": started when it is not already playing (sounds on only); a running loop is not cut.
void KeepSoundPlaying(SoundSlot slot);
// Key groups of the driving controls, read as held (state 2 or 3) or just pressed (state 2).
bool GasHeld();
bool GasJustPressed();
bool BrakeHeld();
