// Groups: the C++ side of QD3DGroup.h.
//
// A group owns one reference to each member, kept in a list whose nodes never
// move, so a position is the address of a member's list entry. Positions are
// also indexed, so a position from outside is checked before it is used.
// The group kinds differ only in which objects they accept and where a new
// member goes.
#pragma once

#include <unordered_map>

#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/core/Object.h"

namespace q3d {

class Group : public Shape {
public:
    static constexpr ClassInfo kClass{kQ3ShapeTypeGroup, &Shape::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

    Group() = default;
    ~Group() override;

    // Only display groups are submitted to a view.
    bool isDrawable() const override { return false; }

    // Whether this kind of group takes object as a member (plain: any shared
    // object).
    virtual bool accepts(const Object& object) const;

    // Whether `group` is this group or sits anywhere inside it. Throws
    // std::bad_alloc.
    bool reaches(const Group& group) const;

    // Takes a reference to object and places it. Preconditions: accepts(object)
    // and object is not a group that reaches this one. Throws std::bad_alloc,
    // leaving the group unchanged.
    TQ3GroupPosition add(Object& object);

    TQ3Uns32 count() const { return static_cast<TQ3Uns32>(members_.size()); }
    // nullptr when empty.
    TQ3GroupPosition first() const;
    // Whether position names a current member of this group.
    bool holds(TQ3GroupPosition position) const;
    // Precondition for both: holds(position). next() is nullptr after the last.
    TQ3GroupPosition next(TQ3GroupPosition position) const;
    Object& objectAt(TQ3GroupPosition position) const;

    // Releases every member; all positions become invalid.
    void empty() noexcept;

    // Members in order, for traversal by views and bounding passes.
    const OwnedReferences& members() const { return members_; }

protected:
    // Where a new member goes in `members`; the default appends.
    virtual OwnedReferences::const_iterator insertionPoint(const OwnedReferences& members,
                                                           const Object& object) const;

private:
    OwnedReferences members_;
    std::unordered_map<const void*, OwnedReferences::iterator> positions_;
};

// Accepts drawable objects, in adding order.
class DisplayGroup : public Group {
public:
    static constexpr ClassInfo kClass{kQ3GroupTypeDisplay, &Group::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
    bool isDrawable() const override { return true; }
    bool accepts(const Object& object) const override;
};

// Keeps members sorted by kind: transforms, styles, attribute sets, shaders,
// cameras, lights, geometry, groups, anything else; stable within a kind.
class OrderedDisplayGroup : public DisplayGroup {
public:
    static constexpr ClassInfo kClass{kQ3DisplayGroupTypeOrdered, &DisplayGroup::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

protected:
    OwnedReferences::const_iterator insertionPoint(const OwnedReferences& members,
                                                   const Object& object) const override;
};

// Accepts lights only.
class LightGroup : public Group {
public:
    static constexpr ClassInfo kClass{kQ3GroupTypeLight, &Group::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
    bool accepts(const Object& object) const override;
};

}  // namespace q3d
