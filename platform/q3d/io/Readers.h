// Inside the object reader: what every object's reader gets, the loop over
// a container's children, and the attribute sets a geometry collects. The
// readers of each family (ReadGeometry.cpp, ReadAppearance.cpp) build on it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/q3d/core/Errors.h"
#include "platform/q3d/core/Ref.h"
#include "platform/q3d/io/ObjectReader.h"
#include "platform/q3d/io/ReadFailure.h"
#include "platform/q3d/io/TypeNames.h"
#include "platform/q3d/sets/AttributeSet.h"
#include "platform/q3d/shaders/Shaders.h"

namespace q3d::io {

// Makes `object` live and returns the one reference to it.
inline Ref<Object> own(std::unique_ptr<Object> object) {
    Object* raw = object.get();
    adopt(std::move(object));
    Ref<Object> ref = Ref<Object>::share(raw);
    release(*raw);  // the Ref now holds the only reference
    return ref;
}

// An object being read: its head has been entered; its reader reads its
// data, leaves it, and reads its children when it roots a container.
struct Reading {
    Source& src;
    ReadContext& ctx;
    ObjectReader& reader;
    const ObjectHead& head;
    int depth;
    bool inContainer;

    std::string what() const;  // "the TriMesh at byte 120"
    [[noreturn]] void bad(const std::string& problem) const {
        fail(kQ3ErrorInvalidMetafileObject, what() + " " + problem);
    }
    // Fails unless `count` elements of `values` values `width` bytes wide
    // can still be in the object.
    void checkCount(std::uint64_t count, std::uint64_t values, unsigned width, const char* name) const;
};

// Reads the children of a container root. `special(head)` may consume a
// child (and leave it) and return true; every other child is read as an
// object and offered to `attach`, which returns false for an object that
// does not belong (posting kQ3WarningInvalidSubObjectForObject).
template <class Special, class Attach>
void readChildren(Reading& r, Special&& special, Attach&& attach) {
    if (!r.inContainer) return;
    ObjectHead child;
    while (r.src.enter(child)) {
        if (special(child)) continue;
        Ref<Object> object = r.reader.readObject(child, r.depth + 1);
        if (object && !attach(object)) postWarning(kQ3WarningInvalidSubObjectForObject);
    }
}

// The attribute sets of one geometry: its own, one per vertex and one per
// face (from attribute set lists), and the texture its own set carried.
class SetSlots {
public:
    SetSlots(std::size_t vertices, std::size_t faces) : vertexCount_(vertices), faceCount_(faces) {}

    // Handles an attribute set list; true when `head` was one.
    bool special(Reading& r, const ObjectHead& head);
    // Places an attribute set (the next element of the open list, else the
    // geometry's own) or a texture shader; false for anything else.
    bool attach(Reading& r, Ref<Object>& object);

    std::vector<Ref<AttributeSet>> vertex;  // empty, or one per vertex (null where none)
    std::vector<Ref<AttributeSet>> face;
    Ref<AttributeSet> geometry;
    // Cap attribute sets (TopCap, BottomCap, FaceCap, InteriorCap).
    Ref<AttributeSet> top, bottom, faceCap, interior;
    Ref<TextureShader> texture;

private:
    std::size_t vertexCount_, faceCount_;
    std::vector<Ref<AttributeSet>>* open_ = nullptr;
    std::vector<std::uint32_t> targets_;
    std::size_t nextTarget_ = 0;
};

// Family readers: each reads the object of `r.head` whole and returns it,
// or an empty Ref for an object that gives nothing.
Ref<Object> readGeometry(Reading& r);     // nullptr Ref and nothing read when the code is no geometry
// An attribute set, or a cap's (whose kind the context then records).
Ref<Object> readAttributeSet(Reading& r);
bool isCapSet(TQ3ObjectType code);
Ref<Object> readTransform(Reading& r);
Ref<Object> readShader(Reading& r);
Ref<Object> readTexture(Reading& r);
Ref<Object> readStyle(Reading& r);
bool isGeometry(TQ3ObjectType code);
bool isTransform(TQ3ObjectType code);
bool isShader(TQ3ObjectType code);
bool isTexture(TQ3ObjectType code);
bool isStyle(TQ3ObjectType code);

// An attribute element (DiffuseColor, Normal, ...) added to `set`; false
// when `code` is none.
bool readAttributeInto(Source& src, TQ3ObjectType code, AttributeSet& set);

// The attribute set (and its texture) behind an object a child gave, or
// nullptr when it is no attribute set.
AttributeSet* asSet(Ref<Object>& object);

}  // namespace q3d::io
