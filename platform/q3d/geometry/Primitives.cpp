#include "platform/q3d/geometry/Primitives.h"

#include <algorithm>
#include <cstring>

#include "platform/q3d/core/Boundary.h"
#include "platform/q3d/core/LentArrays.h"

namespace q3d {
namespace {

// Up to 7 handles (a box: its own set and 6 face sets), as one span.
struct SetList {
    std::array<TQ3AttributeSet, 7> handles{};
    std::size_t count = 0;
    void add(TQ3AttributeSet handle) { handles[count++] = handle; }
    std::span<const TQ3AttributeSet> span() const { return {handles.data(), count}; }
};

SetList setsOf(const TQ3BoxData& d) {
    SetList list;
    list.add(d.boxAttributeSet);
    if (d.faceAttributeSet != nullptr) {
        for (int face = 0; face < 6; ++face) list.add(d.faceAttributeSet[face]);
    }
    return list;
}

SetList setsOf(const TQ3EllipsoidData& d) {
    SetList list;
    list.add(d.interiorAttributeSet);
    list.add(d.ellipsoidAttributeSet);
    return list;
}

SetList setsOf(const TQ3ConeData& d) {
    SetList list;
    list.add(d.interiorAttributeSet);
    list.add(d.faceAttributeSet);
    list.add(d.bottomAttributeSet);
    list.add(d.coneAttributeSet);
    return list;
}

SetList setsOf(const TQ3LineData& d) {
    SetList list;
    list.add(d.vertices[0].attributeSet);
    list.add(d.vertices[1].attributeSet);
    list.add(d.lineAttributeSet);
    return list;
}

bool checkCaps(TQ3EndCap caps) noexcept {
    if ((caps & ~TQ3EndCap{kQ3EndCapMaskTop | kQ3EndCapMaskBottom | kQ3EndCapMaskInterior}) == 0) return true;
    postError(kQ3ErrorParameterOutOfRange);
    return false;
}

bool checkValues(const TQ3EllipsoidData& d) { return checkCaps(d.caps); }
bool checkValues(const TQ3ConeData& d) { return checkCaps(d.caps); }
bool checkValues(const TQ3LineData&) { return true; }

// The common body of assign(): every new set is checked and retained before
// any old one is released, so a set that moves between fields survives.
template <class Record>
bool assignRecord(Record& stored, const Record& incoming) {
    const SetList incomingSets = setsOf(incoming);
    if (!checkSets(incomingSets.span()) || !checkValues(incoming)) return false;
    retainSets(incomingSets.span());
    const SetList oldSets = setsOf(stored);
    stored = incoming;
    releaseSets(oldSets.span());
    return true;
}

template <class Record>
void copyRecord(const Record& stored, Record& out) {
    out = stored;
    retainSets(setsOf(stored).span());
}

}  // namespace

Box::~Box() { releaseSets(setsOf(data_).span()); }

bool Box::assign(const TQ3BoxData& data) {
    const SetList incomingSets = setsOf(data);
    if (!checkSets(incomingSets.span())) return false;
    retainSets(incomingSets.span());
    const SetList oldSets = setsOf(data_);
    data_ = data;
    if (data.faceAttributeSet != nullptr) {
        std::copy_n(data.faceAttributeSet, faces_.size(), faces_.begin());
        data_.faceAttributeSet = faces_.data();
    }
    releaseSets(oldSets.span());
    return true;
}

void Box::copyTo(TQ3BoxData& out) const {
    TQ3AttributeSet* faces = nullptr;
    if (data_.faceAttributeSet != nullptr) {
        faces = static_cast<TQ3AttributeSet*>(lendArray(sizeof faces_));
        std::copy(faces_.begin(), faces_.end(), faces);
    }
    copyRecord(data_, out);
    out.faceAttributeSet = faces;
}

Ellipsoid::~Ellipsoid() { releaseSets(setsOf(data_).span()); }
bool Ellipsoid::assign(const TQ3EllipsoidData& data) { return assignRecord(data_, data); }
void Ellipsoid::copyTo(TQ3EllipsoidData& out) const { copyRecord(data_, out); }

Cone::~Cone() { releaseSets(setsOf(data_).span()); }
bool Cone::assign(const TQ3ConeData& data) { return assignRecord(data_, data); }
void Cone::copyTo(TQ3ConeData& out) const { copyRecord(data_, out); }

Line::~Line() { releaseSets(setsOf(data_).span()); }
bool Line::assign(const TQ3LineData& data) { return assignRecord(data_, data); }
void Line::copyTo(TQ3LineData& out) const { copyRecord(data_, out); }

namespace {

// _EmptyData of each record: the sets it names, and a box's lent face array.
bool emptySets(TQ3BoxData& d) {
    bool ok = disposeSets({&d.boxAttributeSet, 1});
    if (d.faceAttributeSet != nullptr) {
        // A lent array is known to hold 6; a caller's own must, by contract.
        ok = disposeSets({d.faceAttributeSet, 6}) && ok;
        giveBackArray(d.faceAttributeSet);
        d.faceAttributeSet = nullptr;
    }
    return ok;
}

bool emptySets(TQ3EllipsoidData& d) {
    bool ok = disposeSets({&d.interiorAttributeSet, 1});
    return disposeSets({&d.ellipsoidAttributeSet, 1}) && ok;
}

bool emptySets(TQ3ConeData& d) {
    bool ok = true;
    for (TQ3AttributeSet* field :
         {&d.interiorAttributeSet, &d.faceAttributeSet, &d.bottomAttributeSet, &d.coneAttributeSet}) {
        ok = disposeSets({field, 1}) && ok;
    }
    return ok;
}

bool emptySets(TQ3LineData& d) {
    bool ok = true;
    for (TQ3AttributeSet* field : {&d.vertices[0].attributeSet, &d.vertices[1].attributeSet, &d.lineAttributeSet}) {
        ok = disposeSets({field, 1}) && ok;
    }
    return ok;
}

bool checkNotNull(const void* pointer) noexcept {
    if (pointer != nullptr) return true;
    postError(kQ3ErrorNULLParameter);
    return false;
}

// The C entry points, the same for every kind.

template <class G, class Record>
TQ3GeometryObject newGeometry(const char* function, const Record* data) noexcept {
    if (!mayCreate(function) || !checkNotNull(data)) return nullptr;
    return guarded<TQ3Object>(nullptr, [&]() -> TQ3Object {
        auto geometry = std::make_unique<G>();
        if (!geometry->assign(*data)) return nullptr;
        return adopt(std::move(geometry));
    });
}

template <class G, class Record>
TQ3Status setGeometry(const char* function, TQ3GeometryObject handle, const Record* data) noexcept {
    if (failPoint(function)) return kQ3Failure;
    G* geometry = resolveAs<G>(handle);
    if (geometry == nullptr || !checkNotNull(data)) return kQ3Failure;
    return geometry->assign(*data) ? kQ3Success : kQ3Failure;
}

template <class G, class Record>
TQ3Status getGeometry(const char* function, TQ3GeometryObject handle, Record* data) noexcept {
    if (failPoint(function)) return kQ3Failure;
    const G* geometry = resolveAs<G>(handle);
    if (geometry == nullptr || !checkNotNull(data)) return kQ3Failure;
    return guarded(kQ3Failure, [&] {
        geometry->copyTo(*data);
        return kQ3Success;
    });
}

template <class Record>
TQ3Status emptyRecord(const char* function, Record* data) noexcept {
    if (failPoint(function) || !checkNotNull(data)) return kQ3Failure;
    return emptySets(*data) ? kQ3Success : kQ3Failure;
}

}  // namespace
}  // namespace q3d

using q3d::Box;
using q3d::Cone;
using q3d::Ellipsoid;
using q3d::Line;

TQ3GeometryObject Q3Box_New(const TQ3BoxData* boxData) { return q3d::newGeometry<Box>(__func__, boxData); }
TQ3Status Q3Box_SetData(TQ3GeometryObject box, const TQ3BoxData* boxData) {
    return q3d::setGeometry<Box>(__func__, box, boxData);
}
TQ3Status Q3Box_GetData(TQ3GeometryObject box, TQ3BoxData* boxData) {
    return q3d::getGeometry<Box>(__func__, box, boxData);
}
TQ3Status Q3Box_EmptyData(TQ3BoxData* boxData) { return q3d::emptyRecord(__func__, boxData); }

TQ3GeometryObject Q3Ellipsoid_New(const TQ3EllipsoidData* ellipsoidData) {
    return q3d::newGeometry<Ellipsoid>(__func__, ellipsoidData);
}
TQ3Status Q3Ellipsoid_SetData(TQ3GeometryObject ellipsoid, const TQ3EllipsoidData* ellipsoidData) {
    return q3d::setGeometry<Ellipsoid>(__func__, ellipsoid, ellipsoidData);
}
TQ3Status Q3Ellipsoid_GetData(TQ3GeometryObject ellipsoid, TQ3EllipsoidData* ellipsoidData) {
    return q3d::getGeometry<Ellipsoid>(__func__, ellipsoid, ellipsoidData);
}
TQ3Status Q3Ellipsoid_EmptyData(TQ3EllipsoidData* ellipsoidData) {
    return q3d::emptyRecord(__func__, ellipsoidData);
}

TQ3GeometryObject Q3Cone_New(const TQ3ConeData* coneData) { return q3d::newGeometry<Cone>(__func__, coneData); }
TQ3Status Q3Cone_SetData(TQ3GeometryObject cone, const TQ3ConeData* coneData) {
    return q3d::setGeometry<Cone>(__func__, cone, coneData);
}
TQ3Status Q3Cone_GetData(TQ3GeometryObject cone, TQ3ConeData* coneData) {
    return q3d::getGeometry<Cone>(__func__, cone, coneData);
}
TQ3Status Q3Cone_EmptyData(TQ3ConeData* coneData) { return q3d::emptyRecord(__func__, coneData); }

TQ3GeometryObject Q3Line_New(const TQ3LineData* lineData) { return q3d::newGeometry<Line>(__func__, lineData); }
TQ3Status Q3Line_SetData(TQ3GeometryObject line, const TQ3LineData* lineData) {
    return q3d::setGeometry<Line>(__func__, line, lineData);
}
TQ3Status Q3Line_GetData(TQ3GeometryObject line, TQ3LineData* lineData) {
    return q3d::getGeometry<Line>(__func__, line, lineData);
}
TQ3Status Q3Line_EmptyData(TQ3LineData* lineData) { return q3d::emptyRecord(__func__, lineData); }
