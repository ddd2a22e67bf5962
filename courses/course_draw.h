// What every course's scenery routine shares: the draw window around the player (ahead far to
// near, then behind far to near, so no sorting is needed), the windowed road, strip and scenery
// drawing, the sky that travels with the camera, the sun glare, the ground, the gate and the
// start/finish banner, world lighting, and the ambient sound rule.
//
// A course frame draws its world first (road, walls, scenery, gate: all opaque) with the states
// the sky would have left (SetSkyStates, then WorldLightingOn), and what lies behind the world
// after it, between BeginBehindWorld and EndBehindWorld: the ground beneath the road, the sky and
// the backgrounds around the camera on the far plane, and the glare. The depth test then leaves
// the sky's pixels unshaded wherever the world covers them, and the picture is the one the sky
// drawn first and painted over would give.
#pragma once
#include <cstdint>

#include "courses/course_setup.h"
#include "framework/model.h"
#include "framework/sound.h"
#include "game/asset_tables.h"
#include "framework/texture.h"
#include "platform/math.h"

// The sections of the draw window in visiting order: c + N - 1 down to c, then (when N >= 2)
// c - N + 1 up to c - 1, each wrapped into 0 .. n - 1. Returns how many were written (2N - 1 at
// most; out must hold that many).
int DrawWindowSections(int c, int range, int n, int* out);

// The window of the player's section and crystalRange on the current course.
int CurrentDrawWindow(const CourseView& v, int* out);

// Draw the windowed sections' buffers with whatever texture and states the caller set.
void DrawRoadWindow(const CourseView& v);
void DrawUpperStripsWindow(const CourseView& v);
void DrawLowerStripsWindow(const CourseView& v);
// Draw the windowed scenery pool models within 2000 units of the camera: the first when the model
// passes the widened on-screen box test, the second when its position projects inside the screen.
void DrawSceneryNear(const CourseView& v);
void DrawSceneryOnScreen(const CourseView& v);
// The scenery by render level: every near model at High, those on screen at Medium, none at Low.
void DrawSceneryByLevel(const CourseView& v);
// The skirts below the road edges with their texture, seen from both sides (Medium and High only).
void DrawSkirts(const CourseView& v);
// The upper strips, then the road, each with its texture: the order most courses draw them in.
void DrawBordersAndRoad(const CourseView& v);
// A whole plain course frame: the sky, the world lights, the skirts, borders and road, the gate.
void DrawWalledCourse(const CourseView& v);

// True when the draw window can contain section 0: unless range <= c <= n - range.
bool StartLineInWindow(int c, int range, int n);

enum class BannerSign { Go, Finish, Hidden };
// "GO2.bmp" blinks for 3 frames in every 40 while more than one lap is left; "FINISH.bmp" shows
// steadily from the start of the final lap.
BannerSign ChooseBanner(int laps, int lapsDone, int frameCount);

// Step by step pieces of the common frame.
// The states the sky leaves for what follows it: culling counter-clockwise, alpha blending,
// stage 0 untransformed, lighting, light 0 and fog off, depth tested and written, and the
// material and texture of the last background drawn (the world's vertex colours are lit with
// that material's ambient and emissive colours).
void SetSkyStates(Model& lastBackground = backgroundModel);
// What is drawn behind the world: keeps the world's states (those the sky, ground, backgrounds
// and glare change) and sets the sky's; EndBehindWorld puts the world's back, so the crystals and
// cars drawn after the course find them as the world left them.
void BeginBehindWorld();
void EndBehindWorld();
// The sky's states, then the background model at the camera on the far plane, without z-write:
// it fills only the pixels nothing has been drawn on.
void DrawSky(const CourseView& v);
// A model on the far plane (depth 1, tested, not written), where it is, around the camera; the
// backgrounds drawn after the sky cover it in the order they are drawn, and the world covers all.
void DrawOnFarPlane(Model& model);
// The model moved to the camera, then drawn on the far plane.
void DrawAroundCamera(const CourseView& v, Model& model);
// The sun's glare at an offset from the camera, Render Level 2 only, its alpha raised by the
// flicker the course's step drew for this frame (GlareFlicker).
void DrawSunGlare(const CourseView& v, const D3DXVECTOR3& offset, uint32_t flicker);
// The glare's random flicker of this frame: an alpha of 0..127 in the top byte (Render Level 2
// only, else 0 and no random number drawn).
uint32_t GlareFlicker();
void DrawGround(Texture& texture);                  // the ground quad
// The ground quad drawn after the world that stands on it: only where it is nearer than what is
// there (a tie keeps the road), as if it had been drawn first.
void DrawGroundBeneath(Texture& texture);
void WorldLightingOn();                             // fog, lighting and light 0 on
void DrawGateAndBanner(const CourseView& v);         // only while the line can be in the window
// Plays the sound on frames that are multiples of 300 when it is not playing, sounds are on and
// the race is not paused. True when it was started.
bool PlayAmbientSound(const CourseView& v, Sound& sound);
