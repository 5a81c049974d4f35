#include "platform/q3d/raster/Projection.h"

#include <algorithm>
#include <cmath>
#include <ostream>

namespace q3d::raster {

namespace {

bool finite(float v) { return std::isfinite(v); }

}  // namespace

bool isValid(const Camera& camera) {
    for (const auto& row : camera.worldToView.value) {
        for (float v : row) {
            if (!finite(v)) {
                return false;
            }
        }
    }
    const CameraViewPort& port = camera.viewPort;
    if (!finite(port.origin.x) || !finite(port.origin.y) || !(port.width > 0.0f) ||
        !(port.height > 0.0f) || !finite(port.width) || !finite(port.height)) {
        return false;
    }
    if (!finite(camera.hither) || !finite(camera.yon) || !(camera.hither < camera.yon)) {
        return false;
    }
    if (camera.kind == ProjectionKind::Perspective) {
        return camera.hither > 0.0f && camera.fieldOfView > 0.0f &&
               camera.fieldOfView < 3.14159265f && camera.aspectRatio > 0.0f &&
               finite(camera.aspectRatio);
    }
    return finite(camera.left) && finite(camera.right) && finite(camera.top) &&
           finite(camera.bottom) && camera.left != camera.right && camera.top != camera.bottom;
}

std::ostream& operator<<(std::ostream& out, const Camera& camera) {
    out << (camera.kind == ProjectionKind::Perspective ? "Camera{perspective fov=" : "Camera{ortho ");
    if (camera.kind == ProjectionKind::Perspective) {
        out << camera.fieldOfView << " aspect=" << camera.aspectRatio;
    } else {
        out << "l=" << camera.left << " t=" << camera.top << " r=" << camera.right
            << " b=" << camera.bottom;
    }
    return out << " hither=" << camera.hither << " yon=" << camera.yon << "}";
}

}  // namespace q3d::raster

namespace q3d::raster::detail {

Mat4 identity4() {
    Mat4 r{};
    for (int i = 0; i < 4; ++i) {
        r.m[i][i] = 1.0;
    }
    return r;
}

Mat4 toMat4(const TQ3Matrix4x4& matrix) {
    Mat4 r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = matrix.value[i][j];
        }
    }
    return r;
}

Mat4 multiply(const Mat4& a, const Mat4& b) {
    Mat4 r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k) {
                s += a.m[i][k] * b.m[k][j];
            }
            r.m[i][j] = s;
        }
    }
    return r;
}

bool isFinite(const Mat4& matrix) {
    for (const auto& row : matrix.m) {
        for (double v : row) {
            if (!std::isfinite(v)) {
                return false;
            }
        }
    }
    return true;
}

bool invert(const Mat4& matrix, Mat4& out) {
    // Gauss-Jordan with partial pivoting.
    double a[4][8];
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            a[i][j] = matrix.m[i][j];
            a[i][j + 4] = i == j ? 1.0 : 0.0;
        }
    }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 4; ++row) {
            if (std::fabs(a[row][col]) > std::fabs(a[pivot][col])) {
                pivot = row;
            }
        }
        if (!(std::fabs(a[pivot][col]) > 1e-300)) {
            return false;
        }
        if (pivot != col) {
            for (int j = 0; j < 8; ++j) {
                std::swap(a[pivot][j], a[col][j]);
            }
        }
        double inv = 1.0 / a[col][col];
        for (int j = 0; j < 8; ++j) {
            a[col][j] *= inv;
        }
        for (int row = 0; row < 4; ++row) {
            if (row != col) {
                double f = a[row][col];
                for (int j = 0; j < 8; ++j) {
                    a[row][j] -= f * a[col][j];
                }
            }
        }
    }
    Mat4 r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = a[i][j + 4];
        }
    }
    if (!isFinite(r)) {
        return false;
    }
    out = r;
    return true;
}

void normalMatrix(const Mat4& localToWorld, double out[3][3]) {
    const auto& m = localToWorld.m;
    // Cofactor C[i][j] of the upper 3×3: a row-vector normal n maps to n · C,
    // which is n · (M⁻¹)ᵀ times det(M).
    for (int i = 0; i < 3; ++i) {
        int i1 = (i + 1) % 3;
        int i2 = (i + 2) % 3;
        for (int j = 0; j < 3; ++j) {
            int j1 = (j + 1) % 3;
            int j2 = (j + 2) % 3;
            out[i][j] = m[i1][j1] * m[i2][j2] - m[i1][j2] * m[i2][j1];
        }
    }
    double det = m[0][0] * out[0][0] + m[0][1] * out[0][1] + m[0][2] * out[0][2];
    // Only the direction matters: scale the largest entry to 1 so that the
    // matrix survives the conversion to float for huge or tiny scales.
    double largest = 0.0;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            largest = std::max(largest, std::fabs(out[i][j]));
        }
    }
    double scale = largest > 0.0 && std::isfinite(largest) ? 1.0 / largest : 1.0;
    if (det < 0.0) {
        scale = -scale;
    }
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            out[i][j] *= scale;
        }
    }
}

bool worldToPixelClip(const Camera& camera, uint32_t width, uint32_t height, Mat4& out) {
    if (!isValid(camera)) {
        return false;
    }
    const double w = width;
    const double h = height;
    const double ox = camera.viewPort.origin.x;
    const double oy = camera.viewPort.origin.y;
    // Pixels per camera-plane unit.
    const double kx = w / camera.viewPort.width;
    const double ky = h / camera.viewPort.height;
    const double hither = camera.hither;
    const double yon = camera.yon;
    Mat4 r{};
    if (camera.kind == ProjectionKind::Perspective) {
        // Camera plane X = sx · x / −z, Y = sy · y / −z; pixel
        // px = (X − ox) · kx, py = (oy − Y) · ky; w = −z.
        double s = 1.0 / std::tan(0.5 * camera.fieldOfView);
        double aspect = camera.aspectRatio;
        double sx = aspect >= 1.0 ? s / aspect : s;
        double sy = aspect >= 1.0 ? s : s * aspect;
        double a = yon / (yon - hither);
        double b = -hither * yon / (yon - hither);
        r.m[0][0] = kx * sx;
        r.m[1][1] = -ky * sy;
        r.m[2][0] = kx * ox;
        r.m[2][1] = -ky * oy;
        r.m[2][2] = -a;
        r.m[2][3] = -1.0;
        r.m[3][2] = b;
    } else {
        double l = camera.left;
        double rt = camera.right;
        double t = camera.top;
        double bt = camera.bottom;
        double sx = 2.0 / (rt - l);
        double sy = 2.0 / (t - bt);
        double cx = 0.5 * (l + rt);
        double cy = 0.5 * (t + bt);
        r.m[0][0] = kx * sx;
        r.m[1][1] = -ky * sy;
        r.m[2][2] = -1.0 / (yon - hither);
        r.m[3][0] = -kx * (sx * cx + ox);
        r.m[3][1] = ky * (oy + sy * cy);
        r.m[3][2] = -hither / (yon - hither);
        r.m[3][3] = 1.0;
    }
    Mat4 full = multiply(toMat4(camera.worldToView), r);
    if (!isFinite(full)) {
        return false;
    }
    out = full;
    return true;
}

}  // namespace q3d::raster::detail
