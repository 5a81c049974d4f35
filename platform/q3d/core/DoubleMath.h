// Vector and matrix arithmetic in double precision for the library's own
// geometry work (tessellating surfaces, composing transforms), where float
// sums of many terms would drift; results go back to float at the end.
#pragma once

#include <cmath>

#include "platform/q3d/QD3D.h"

namespace q3d {

struct D3 {
    double x = 0, y = 0, z = 0;
};
inline D3 d3(const TQ3Point3D& p) { return {p.x, p.y, p.z}; }
inline D3 d3(const TQ3Vector3D& v) { return {v.x, v.y, v.z}; }
inline D3 operator+(const D3& a, const D3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline D3 operator-(const D3& a, const D3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline D3 operator*(const D3& a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline D3 cross(const D3& a, const D3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline double dot(const D3& a, const D3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline double length(const D3& a) { return std::sqrt(dot(a, a)); }
inline TQ3Point3D point(const D3& a) { return {float(a.x), float(a.y), float(a.z)}; }
inline TQ3Vector3D vector(const D3& a) { return {float(a.x), float(a.y), float(a.z)}; }

// a × b (a applied first, row vectors), each element summed in double.
inline TQ3Matrix4x4 matrixProduct(const TQ3Matrix4x4& a, const TQ3Matrix4x4& b) {
    TQ3Matrix4x4 r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k) sum += double(a.value[i][k]) * b.value[k][j];
            r.value[i][j] = float(sum);
        }
    }
    return r;
}

}  // namespace q3d
