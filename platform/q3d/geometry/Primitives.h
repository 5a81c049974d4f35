// Boxes, ellipsoids, cones and lines: geometry fully described by its data
// record, which each object keeps as given. The record's attribute-set
// fields hold the object's own references (heldSet() turns them into sets);
// a box's face sets sit in the object, and its record points at them.
#pragma once

#include <array>

#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/geometry/Geometry.h"

namespace q3d {

// Each kind: assign() replaces the record, all or nothing, posting an error
// and returning false for bad data; copyTo() copies it out with new
// references to the sets (and, for a box, a lent array of face sets),
// throwing std::bad_alloc with nothing changed.

class Box final : public Geometry {
public:
    static constexpr ClassInfo kClass{kQ3GeometryTypeBox, &Geometry::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
    ~Box() override;

    // faceAttributeSet is nullptr or points at the box's 6 face sets, in the
    // order QD3DGeometry.h gives.
    const TQ3BoxData& data() const { return data_; }
    bool assign(const TQ3BoxData& data);
    void copyTo(TQ3BoxData& out) const;

private:
    TQ3BoxData data_{};
    std::array<TQ3AttributeSet, 6> faces_{};
};

class Ellipsoid final : public Geometry {
public:
    static constexpr ClassInfo kClass{kQ3GeometryTypeEllipsoid, &Geometry::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
    ~Ellipsoid() override;

    const TQ3EllipsoidData& data() const { return data_; }
    bool assign(const TQ3EllipsoidData& data);
    void copyTo(TQ3EllipsoidData& out) const;

private:
    TQ3EllipsoidData data_{};
};

class Cone final : public Geometry {
public:
    static constexpr ClassInfo kClass{kQ3GeometryTypeCone, &Geometry::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
    ~Cone() override;

    const TQ3ConeData& data() const { return data_; }
    bool assign(const TQ3ConeData& data);
    void copyTo(TQ3ConeData& out) const;

private:
    TQ3ConeData data_{};
};

class Line final : public Geometry {
public:
    static constexpr ClassInfo kClass{kQ3GeometryTypeLine, &Geometry::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
    ~Line() override;

    const TQ3LineData& data() const { return data_; }
    bool assign(const TQ3LineData& data);
    void copyTo(TQ3LineData& out) const;

private:
    TQ3LineData data_{};
};

}  // namespace q3d
