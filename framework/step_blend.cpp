#include "framework/step_blend.h"

#include <cmath>

float pictureFraction = 1.0f;
uint32_t pictureStep = 0;

namespace {
// The fastest car covers about 40 units a step and a replay camera's shot keeps it within a few
// hundred; a placement that moves further than this in a step was put there.
constexpr float kJumpDistance = 400.0f;

uint32_t cutStep = 0;
bool cutMarked = false;

struct Quaternion {
    float x, y, z, w;
};

// The rotation of three orthonormal rows (row-vector convention, as D3DX: v' = v * M).
Quaternion QuaternionOfRows(const D3DXVECTOR3& r0, const D3DXVECTOR3& r1, const D3DXVECTOR3& r2) {
    const float m00 = r0.x, m01 = r0.y, m02 = r0.z;
    const float m10 = r1.x, m11 = r1.y, m12 = r1.z;
    const float m20 = r2.x, m21 = r2.y, m22 = r2.z;
    Quaternion q;
    const float trace = m00 + m11 + m22;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        q.w = 0.25f * s;
        q.x = (m12 - m21) / s;
        q.y = (m20 - m02) / s;
        q.z = (m01 - m10) / s;
    } else if (m00 > m11 && m00 > m22) {
        const float s = std::sqrt(1.0f + m00 - m11 - m22) * 2.0f;
        q.w = (m12 - m21) / s;
        q.x = 0.25f * s;
        q.y = (m01 + m10) / s;
        q.z = (m20 + m02) / s;
    } else if (m11 > m22) {
        const float s = std::sqrt(1.0f + m11 - m00 - m22) * 2.0f;
        q.w = (m20 - m02) / s;
        q.x = (m01 + m10) / s;
        q.y = 0.25f * s;
        q.z = (m12 + m21) / s;
    } else {
        const float s = std::sqrt(1.0f + m22 - m00 - m11) * 2.0f;
        q.w = (m01 - m10) / s;
        q.x = (m20 + m02) / s;
        q.y = (m12 + m21) / s;
        q.z = 0.25f * s;
    }
    return q;
}

void RowsOfQuaternion(const Quaternion& q, D3DXVECTOR3& r0, D3DXVECTOR3& r1, D3DXVECTOR3& r2) {
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    r0 = D3DXVECTOR3(1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w));
    r1 = D3DXVECTOR3(2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w));
    r2 = D3DXVECTOR3(2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y));
}

Quaternion Slerp(Quaternion a, const Quaternion& b, float t) {
    float dot = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    // The shorter of the two arcs.
    if (dot < 0.0f) {
        a = {-a.x, -a.y, -a.z, -a.w};
        dot = -dot;
    }
    float wa = 1.0f - t, wb = t;
    if (dot < 0.9995f) {
        const float angle = std::acos(dot);
        const float s = std::sin(angle);
        wa = std::sin((1.0f - t) * angle) / s;
        wb = std::sin(t * angle) / s;
    }
    Quaternion q{wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w};
    const float n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (n > 0.0f) q = {q.x / n, q.y / n, q.z / n, q.w / n};
    return q;
}

// A placement taken apart: the orthonormal rows, their scales (a mirrored placement keeps its
// mirror in the first scale), the position.
struct Parts {
    D3DXVECTOR3 rows[3];
    float scale[3];
    D3DXVECTOR3 position;
};

Parts PartsOf(const D3DXMATRIX& m) {
    Parts p;
    D3DXVECTOR3 r[3] = {{m._11, m._12, m._13}, {m._21, m._22, m._23}, {m._31, m._32, m._33}};
    for (int i = 0; i < 3; ++i) p.scale[i] = D3DXVec3Length(&r[i]);
    D3DXVECTOR3 cross;
    D3DXVec3Cross(&cross, &r[1], &r[2]);
    if (D3DXVec3Dot(&cross, &r[0]) < 0.0f) p.scale[0] = -p.scale[0];
    // Orthonormal rows, forward and up kept as near as they are (Gram-Schmidt from forward).
    D3DXVECTOR3 z = r[2], y = r[1], x;
    D3DXVec3Normalize(&z, &z);
    y = y - z * D3DXVec3Dot(&y, &z);
    D3DXVec3Normalize(&y, &y);
    D3DXVec3Cross(&x, &y, &z);
    p.rows[0] = x;
    p.rows[1] = y;
    p.rows[2] = z;
    p.position = D3DXVECTOR3(m._41, m._42, m._43);
    return p;
}
}  // namespace

void MarkPictureCut() {
    cutStep = pictureStep;
    cutMarked = true;
}

bool PictureCutAt(uint32_t step) { return cutMarked && cutStep == step; }

D3DXVECTOR3 BlendPoint(const D3DXVECTOR3& before, const D3DXVECTOR3& now, float f) {
    if (f >= 1.0f) return now;
    if (f <= 0.0f) return before;
    return before + (now - before) * f;
}

D3DXMATRIX BlendPlacement(const D3DXMATRIX& before, const D3DXMATRIX& now, float f) {
    if (f >= 1.0f) return now;
    if (f <= 0.0f) return before;
    const Parts a = PartsOf(before), b = PartsOf(now);
    const Quaternion q = Slerp(QuaternionOfRows(a.rows[0], a.rows[1], a.rows[2]),
                               QuaternionOfRows(b.rows[0], b.rows[1], b.rows[2]), f);
    D3DXVECTOR3 rows[3];
    RowsOfQuaternion(q, rows[0], rows[1], rows[2]);
    D3DXMATRIX m = now;
    for (int i = 0; i < 3; ++i) {
        const D3DXVECTOR3 row = rows[i] * (a.scale[i] + (b.scale[i] - a.scale[i]) * f);
        m.m[i][0] = row.x;
        m.m[i][1] = row.y;
        m.m[i][2] = row.z;
    }
    const D3DXVECTOR3 p = BlendPoint(a.position, b.position, f);
    m._41 = p.x;
    m._42 = p.y;
    m._43 = p.z;
    return m;
}

SceneView BlendSceneView(const SceneView& before, const SceneView& now, float f) {
    if (f >= 1.0f) return now;
    if (f <= 0.0f) return before;
    const D3DXMATRIX camera = BlendPlacement(before.camera, now.camera, f);
    D3DXMATRIX view = now.view;
    D3DXMatrixInverse(&view, nullptr, &camera);
    return MakeSceneView(view);
}

bool PlacementJumped(const D3DXMATRIX& before, const D3DXMATRIX& now) {
    const D3DXVECTOR3 d(now._41 - before._41, now._42 - before._42, now._43 - before._43);
    return D3DXVec3LengthSq(&d) > kJumpDistance * kJumpDistance;
}
