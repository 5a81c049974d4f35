#include "scene/math/Placement.h"

#include "scene/math/Units.h"

namespace vask {
namespace {

// Steps shared by both placements, applied to a matrix that already holds
// whatever comes before the parameters.
Matrix4x3 applyParameters(const Matrix4x3& before, const PlacementValues& v) {
  Matrix4x3 m = scale(before, {fixedToFloat(v.xScale), fixedToFloat(v.yScale), fixedToFloat(v.zScale)});
  m = multiply(m, rotationFromAngles(fixedDegreesToRadians(v.leftRight),
                                     fixedDegreesToRadians(v.upDown), fixedDegreesToRadians(v.roll)));
  return translate(m, {fixedToFloat(v.xTranslation), fixedToFloat(v.yTranslation),
                       fixedToFloat(v.zTranslation)});
}

}  // namespace

Matrix4x3 placementMatrix(const PlacementValues& values) {
  return applyParameters(identityMatrix(), values);
}

Matrix4x3 modelPlacementMatrix(const PlacementValues& values, const Vec3& centre, float modelScale) {
  Matrix4x3 m = translate(identityMatrix(), negate(centre));
  m = scale(m, {modelScale, modelScale, modelScale});
  return applyParameters(m, values);
}

std::ostream& operator<<(std::ostream& os, const PlacementValues& v) {
  // Shown as the host's user sees them: degrees and plain numbers.
  return os << "Placement{angles (" << fixedToFloat(v.leftRight) << ", " << fixedToFloat(v.upDown)
            << ", " << fixedToFloat(v.roll) << ") deg, translation (" << fixedToFloat(v.xTranslation)
            << ", " << fixedToFloat(v.yTranslation) << ", " << fixedToFloat(v.zTranslation)
            << "), scale (" << fixedToFloat(v.xScale) << ", " << fixedToFloat(v.yScale) << ", "
            << fixedToFloat(v.zScale) << ")}";
}

}  // namespace vask
