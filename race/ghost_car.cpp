#include "race/ghost_car.h"

#include <algorithm>
#include <cmath>

#include "courses/course_geometry.h"
#include "framework/graphics_device.h"
#include "framework/mesh.h"
#include "framework/placement.h"
#include "framework/step_blend.h"
#include "game/asset_tables.h"
#include "game/records.h"
#include "platform/math.h"
#include "race/player_vehicle.h"
#include "race/race_state.h"
#include "race/vehicle.h"

GhostRun ghostRecording;
GhostRun raceGhost;
GhostView ghostView;

namespace {
constexpr float kQuaternionScale = 32767.0f;
constexpr float kSpinScale = 65536.0f / kTwoPi;  // tyre spin: 65536 to a turn
constexpr float kRollScale = 8192.0f;
constexpr float kGhostAlpha = 0.45f;
constexpr float kInsideMargin = 4.0f;        // the camera this close to the body counts as inside

int16_t Clamp16(float v) { return static_cast<int16_t>(std::lround(std::clamp(v, -32767.0f, 32767.0f))); }

// The body's rotation (rows: right, up, forward) as a unit quaternion with w >= 0.
void QuaternionOf(const D3DXMATRIX& m, float q[4]) {
    // The column-vector rotation is the transpose of the row-vector placement.
    const float r00 = m._11, r01 = m._21, r02 = m._31;
    const float r10 = m._12, r11 = m._22, r12 = m._32;
    const float r20 = m._13, r21 = m._23, r22 = m._33;
    const float trace = r00 + r11 + r22;
    float x, y, z, w;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        w = 0.25f * s, x = (r21 - r12) / s, y = (r02 - r20) / s, z = (r10 - r01) / s;
    } else if (r00 > r11 && r00 > r22) {
        const float s = std::sqrt(1.0f + r00 - r11 - r22) * 2.0f;
        w = (r21 - r12) / s, x = 0.25f * s, y = (r01 + r10) / s, z = (r02 + r20) / s;
    } else if (r11 > r22) {
        const float s = std::sqrt(1.0f + r11 - r00 - r22) * 2.0f;
        w = (r02 - r20) / s, x = (r01 + r10) / s, y = 0.25f * s, z = (r12 + r21) / s;
    } else {
        const float s = std::sqrt(1.0f + r22 - r00 - r11) * 2.0f;
        w = (r10 - r01) / s, x = (r02 + r20) / s, y = (r12 + r21) / s, z = 0.25f * s;
    }
    const float sign = w < 0.0f ? -1.0f : 1.0f;
    const float length = std::sqrt(x * x + y * y + z * z + w * w);
    const float k = length > 0.0f ? sign / length : 0.0f;
    q[0] = x * k, q[1] = y * k, q[2] = z * k, q[3] = length > 0.0f ? w * k : 1.0f;
}

// A placement turned by the quaternion (normalised here: a file's values need not be unit).
D3DXMATRIX RotationOf(const int16_t stored[4]) {
    float x = stored[0], y = stored[1], z = stored[2], w = stored[3];
    const float length = std::sqrt(x * x + y * y + z * z + w * w);
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    if (!(length > 0.0f)) return m;
    x /= length, y /= length, z /= length, w /= length;
    // Rows are the column-vector matrix's columns.
    m._11 = 1 - 2 * (y * y + z * z), m._21 = 2 * (x * y - z * w), m._31 = 2 * (x * z + y * w);
    m._12 = 2 * (x * y + z * w), m._22 = 1 - 2 * (x * x + z * z), m._32 = 2 * (y * z - x * w);
    m._13 = 2 * (x * z - y * w), m._23 = 2 * (y * z + x * w), m._33 = 1 - 2 * (x * x + y * y);
    return m;
}

void DrawTranslucent(Model& part, const D3DXMATRIX& world) {
    if (part.mesh && part.visible) part.mesh->DrawWithAlpha(world, kGhostAlpha);
}

// The eye inside the body's box (enlarged a little), in the body's own axes.
bool EyeInside(const D3DXMATRIX& body, const D3DXVECTOR3& eye) {
    D3DXMATRIX toBody;
    if (!D3DXMatrixInverse(&toBody, nullptr, &body)) return false;
    D3DXVECTOR3 q;
    D3DXVec3TransformCoord(&q, &eye, &toBody);
    const D3DXVECTOR3 lo = playerBody.corners[7], hi = playerBody.corners[0];
    const float m = kInsideMargin;
    return q.x >= lo.x - m && q.x <= hi.x + m && q.y >= lo.y - m && q.y <= hi.y + m && q.z >= lo.z - m &&
           q.z <= hi.z + m;
}
}  // namespace

GhostFrame GhostFrameOfCar() {
    const RaceState& r = raceState;
    GhostFrame f;
    const D3DXVECTOR3 p = PlacementPosition(r.placement);
    f.x = p.x, f.y = p.y, f.z = p.z;
    float q[4];
    QuaternionOf(r.pose.body, q);
    for (int k = 0; k < 4; ++k) f.orientation[k] = Clamp16(q[k] * kQuaternionScale);
    f.halfIndex = static_cast<uint16_t>(std::clamp(2 * r.section + r.half, 0, 65535));
    f.wheelSpin = static_cast<int16_t>(static_cast<uint16_t>(std::lround(std::fmod(r.wheelSpin, kTwoPi) *
                                                                         kSpinScale) & 0xffff));
    f.tyreRoll = Clamp16(r.driftAngle / 4.0f * kRollScale);
    const int steer = r.speed < 0.0f ? -r.steerInput : r.steerInput;
    f.steer = static_cast<int8_t>(std::clamp(steer, -1, 1));
    f.lapsDone = static_cast<int8_t>(std::clamp(r.lapsDone, -1, kMaxLaps));
    return f;
}

void RecordGhostFrame(int frame) {
    if (frame < 0 || frame >= kGhostFrameLimit) return;
    std::vector<GhostFrame>& frames = ghostRecording.frames;
    if (frame == 0 && frames.capacity() < 18000) frames.reserve(18000);
    if (static_cast<size_t>(frame) < frames.size()) frames.resize(static_cast<size_t>(frame));
    if (static_cast<size_t>(frame) > frames.size()) return;  // a gap: frames were missed
    frames.push_back(GhostFrameOfCar());
}

bool KeepRaceGhost(int course, const int* lapMinutes, const int* lapMillis, int laps) {
    const RaceTime total = SumLapTimes(lapMinutes, lapMillis, laps);
    GhostRun& run = ghostRecording;
    run.course = course;
    run.laps = laps;
    run.totalMillis = std::clamp(total.minutes * 60000 + total.millis, 0, kGhostMaxMillis);
    return KeepGhostIfFaster(run);
}

bool LoadRaceGhost(int course) {
    ClearRaceGhost();
    return ReadGhostFile(course, &raceGhost);
}

void ClearRaceGhost() {
    raceGhost = GhostRun();
    ghostView.shown = false;
}

VehiclePose GhostPose(const GhostFrame& f) {
    D3DXMATRIX body = RotationOf(f.orientation);
    D3DXVECTOR3 lift = PlacementAxisY(body) * kBodyLift;
    const CourseGeometry& g = courseGeometry;
    if (f.halfIndex < 2 * g.sectionCount) lift = g.halfNormal[f.halfIndex] * kBodyLift;
    SetPlacementPosition(body, D3DXVECTOR3(f.x, f.y, f.z) + lift);
    VehiclePose pose = RestPose(PlayerVehicleParts(), body);
    const float roll = f.tyreRoll / kRollScale;
    const float spin = static_cast<float>(static_cast<uint16_t>(f.wheelSpin)) / kSpinScale;
    for (int t = 0; t < 4; ++t) {
        RotateZ(pose.tires[t], roll);
        if (t < 2) RotateY(pose.tires[t], f.steer * kSteerShown);
        RotateX(pose.tires[t], spin);
    }
    return pose;
}

void PlaceGhost(int frame, const D3DXVECTOR3& eye) {
    ghostView.shown = false;
    if (frame < 0 || static_cast<size_t>(frame) >= raceGhost.frames.size()) return;
    ghostView.pose = GhostPose(raceGhost.frames[static_cast<size_t>(frame)]);
    ghostView.shown = !EyeInside(ghostView.pose.body, eye);
}

int LapFrameOf(const GhostRun& run, int lap) {
    for (size_t i = 0; i < run.frames.size(); ++i)
        if (run.frames[i].lapsDone >= lap) return static_cast<int>(i);
    return -1;
}

void DrawGhostCar() {
    static StepPair<GhostView> held;
    held.Hold(ghostView);
    if (!ghostView.shown) return;
    const bool blend = held.Blends() && held.before.shown && !PlacementJumped(held.before.pose.body, ghostView.pose.body);
    DrawGhostCarAt(blend ? BlendPose(held.before.pose, ghostView.pose, pictureFraction) : ghostView.pose);
}

void DrawGhostCarAt(const VehiclePose& pose) {
    if (!device) return;
    device->SetRenderState(D3DRS_LIGHTING, 1);
    device->SetRenderState(D3DRS_FOGENABLE, 0);
    const VehicleParts parts = PlayerVehicleParts();
    DrawTranslucent(*parts.body, pose.body);
    for (int t = 0; t < 4; ++t) {
        D3DXMATRIX world;
        D3DXMatrixMultiply(&world, &pose.tires[t], &pose.body);
        DrawTranslucent(parts.tires[t], world);
    }
}
