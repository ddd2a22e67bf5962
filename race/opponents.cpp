#include "race/opponents.h"

#include <algorithm>
#include <cmath>

#include "courses/course_builder.h"
#include "courses/course_geometry.h"
#include "courses/track_queries.h"
#include "framework/graphics_device.h"
#include "framework/placement.h"
#include "framework/step_blend.h"
#include "race/player_vehicle.h"
#include "race/race_state.h"
#include "game/asset_tables.h"
#include "game/scene_flow.h"
#include "game/settings.h"

OpponentArray opponents;

namespace {
constexpr float kOppTurnLimit = 0.049087387f;  // 2pi/128 per frame
constexpr float kOppSteerShown = 0.012271847f; // pi/256: the front tyres turn beyond this aim
constexpr float kOppBoostBonus = 5.0f;
constexpr float kOppTestReach = 10.0f;
constexpr float kDrawDistance = 2000.0f;
constexpr float kLowDrawDistance = 1500.0f;
constexpr float kCarHalfWidth = 9.0f;  // the body's side points, as the player's car

int Count() { return std::clamp(raceState.enemyCount, 0, MaxOpponents); }

bool InView(int i) {
    const D3DXVECTOR3 pos = PlacementPosition(opponents[i].placement);
    const D3DXVECTOR3 eye(cameraMatrix._41, cameraMatrix._42, cameraMatrix._43);
    const D3DXVECTOR3 gap = pos - eye;
    const float distance = D3DXVec3Length(&gap);
    if (renderLevel >= 2) return distance < kDrawDistance && PlacedBoxOnScreen(opponents[i].placement, opponentModels[i].body.corners);
    return distance < (renderLevel == 1 ? kDrawDistance : kLowDrawDistance) && ProjectsOnScreen(pos);
}

// The point a car on `lane` aims at on boundary s. A course's lanes may reach past the road's sides
// (secret course 4 draws them up to 0.7 of the width from the middle); an aim off the road would
// hold the car against the side for good, facing a point it can never reach, so the aim is kept
// half a car's width inside either side.
D3DXVECTOR3 LaneAim(int s, float lane) {
    const D3DXVECTOR3 across = BoundaryRight(s) - BoundaryLeft(s);
    const float width = D3DXVec3Length(&across);
    const float inside = width > 2.0f * kCarHalfWidth ? 0.5f - kCarHalfWidth / width : 0.0f;
    return BoundaryMid(s) + across * std::clamp(lane, -inside, inside);
}

// The way from the car to its aim, laid into the car's own plane: the turn is about the car's up
// axis, so the aim lying above or below that plane (on a crest, a dip or a twisted section) is no
// turn. Measured with the height left in, the angle stays large close to the aim, its sign comes out
// wrong, and the car circles round the aim instead of crossing the boundary.
D3DXVECTOR3 AimOnPlane(const D3DXMATRIX& body, const D3DXVECTOR3& aim) {
    const D3DXVECTOR3 way = aim - PlacementPosition(body), up = PlacementAxisY(body);
    const float upSquared = D3DXVec3Dot(&up, &up);
    if (upSquared <= 0.0f) return way;
    return way - up * (D3DXVec3Dot(&way, &up) / upSquared);
}

}  // namespace

void UpdateOpponents() {
    const CourseGeometry& g = courseGeometry;
    for (int i = 0; i < Count(); ++i) {
        Opponent& o = opponents[i];
        // 1-2. Toward the top speed; a boost on the course's boost sections.
        o.speed = std::min(o.speed + 0.1f, o.topSpeed);
        if ((o.section == g.boostSectionA || o.section == g.boostSectionB) && o.boostTimer == 0)
            o.boostTimer = kBoostFrames;
        if (o.boostTimer > 0) {
            o.boostTimer -= 1;
            o.speed = o.topSpeed + kOppBoostBonus + static_cast<float>(frameCount % 20) / 100.0f;
        }

        // 3-5. Sit on the own half, aim along the lane at the next boundary.
        const int s1 = NextSection(o.section);
        D3DXMATRIX& body = o.placement;
        OrientOnHalf(body, 2 * o.section + o.half, o.heading);
        const float a = YawToPlacement(body, nullptr, AimOnPlane(body, LaneAim(s1, o.lane)));
        o.heading += std::clamp(a, -kOppTurnLimit, kOppTurnLimit);
        o.steer = a <= -kOppSteerShown ? -1 : (a >= kOppSteerShown ? 1 : 0);

        // 6. Drive.
        MoveLocal(body, 0.0f, 0.0f, o.speed);

        // 7. Progress by the body's centre: onto the next section, or stay on this one.
        const D3DXVECTOR3 pos = PlacementPosition(body), up = PlacementAxisY(body);
        D3DXVECTOR3 hit;
        int half = -1;
        if (PointOverHalf(pos, up, s1, 0, &hit)) {
            half = 0;
        } else if (PointOverHalf(pos, up, s1, 1, &hit)) {
            half = 1;
        }
        if (half >= 0) {
            o.section = s1;
            o.half = half;
            if (s1 == 0) o.laps += 1;
            SetPlacementPosition(body, hit);
        } else {
            const int s = o.section;
            if (!PointOverHalf(pos, up, s, 0) && !PointOverHalf(pos, up, s, 1)) MoveLocal(body, 0.0f, 0.0f, -o.speed);
            const D3DXVECTOR3 p = PlacementPosition(body);
            const D3DXVECTOR3 top = p + up * kOppTestReach, bottom = p - up * kOppTestReach;
            if (D3DXPlaneIntersectLine(&hit, &g.halfPlane[2 * s], &top, &bottom)) SetPlacementPosition(body, hit);
        }

        // 8.
        o.wheelSpin += o.speed / 12.0f;
    }
}

VehiclePose OpponentPose(int i) {
    const Opponent& o = opponents[i];
    VehiclePose pose = RestPose(OpponentVehicleParts(i), o.placement);
    const D3DXVECTOR3 n = courseGeometry.halfNormal[2 * o.section + o.half] * kBodyLift;
    MoveParent(pose.body, n.x, n.y, n.z);
    for (int t = 0; t < 4; ++t) {
        if (t < 2) RotateY(pose.tires[t], static_cast<float>(o.steer) * kSteerShown);
        RotateX(pose.tires[t], o.wheelSpin);
    }
    return pose;
}

bool OpponentInView(int i) {
    return i >= 0 && i < Count() && WithinSections(opponents[i].section, raceState.section, raceState.crystalRange) &&
           InView(i);
}

void DrawOpponents() {
    if (!device) return;
    device->SetRenderState(D3DRS_LIGHTING, 1);
    // Every car's pose is held for the pictures between the steps, in view or not, so a car that
    // comes into view is blended from its first picture.
    static StepPair<VehiclePose> held[MaxOpponents];
    for (int i = 0; i < Count(); ++i) {
        StepPair<VehiclePose>& pair = held[i];
        pair.Hold(OpponentPose(i));
        if (!OpponentInView(i)) continue;
        VehicleEffects effects;
        effects.boostFlames = opponents[i].boostTimer > 0;
        const bool blend = pair.Blends() && !PlacementJumped(pair.before.body, pair.now.body);
        DrawVehicle(OpponentVehicleParts(i), blend ? BlendPose(pair.before, pair.now, pictureFraction) : pair.now,
                    effects);
    }
}

void DrawEveryOpponent() {
    if (!device) return;
    device->SetRenderState(D3DRS_LIGHTING, 1);
    VehicleEffects effects;
    effects.boostFlames = true;
    for (int i = 0; i < Count(); ++i) DrawVehicle(OpponentVehicleParts(i), OpponentPose(i), effects);
}
