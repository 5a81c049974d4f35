#include "platform/q3d/groups/Group.h"

#include <iterator>
#include <unordered_set>
#include <vector>

#include "platform/q3d/core/Boundary.h"

namespace q3d {
namespace {

// Rank of an object's kind in an ordered display group: state that applies
// to geometry (transforms, styles, attributes, shaders) comes before it.
int orderedKind(const Object& object) {
    static constexpr TQ3ObjectType kOrder[] = {
        kQ3ShapeTypeTransform, kQ3ShapeTypeStyle, kQ3SetTypeAttribute, kQ3ShapeTypeShader,
        kQ3ShapeTypeCamera,    kQ3ShapeTypeLight, kQ3ShapeTypeGeometry, kQ3ShapeTypeGroup,
    };
    int rank = 0;
    for (TQ3ObjectType type : kOrder) {
        if (object.isType(type)) return rank;
        ++rank;
    }
    return rank;
}

TQ3GroupPosition positionOf(Object* const& entry) {
    return reinterpret_cast<TQ3GroupPosition>(const_cast<Object**>(&entry));
}

const void* keyOf(TQ3GroupPosition position) { return position; }

}  // namespace

Group::~Group() { releaseAll(members_); }

bool Group::accepts(const Object& object) const { return object.isType(kQ3ObjectTypeShared); }

bool Group::reaches(const Group& group) const {
    // Iterative, with a visited set: nesting may be deep, and one group may be
    // shared by many others.
    std::vector<const Group*> toVisit{this};
    std::unordered_set<const Group*> visited{this};
    while (!toVisit.empty()) {
        const Group* current = toVisit.back();
        toVisit.pop_back();
        if (current == &group) return true;
        for (const Object* member : current->members_) {
            const auto* sub = dynamic_cast<const Group*>(member);
            if (sub != nullptr && visited.insert(sub).second) toVisit.push_back(sub);
        }
    }
    return false;
}

TQ3GroupPosition Group::add(Object& object) {
    auto where = insertionPoint(members_, object);
    auto entry = members_.insert(where, &object);
    try {
        positions_.emplace(keyOf(positionOf(*entry)), entry);
    } catch (...) {
        members_.erase(entry);
        throw;
    }
    retain(object);
    return positionOf(*entry);
}

OwnedReferences::const_iterator Group::insertionPoint(const OwnedReferences& members, const Object&) const {
    return members.end();
}

TQ3GroupPosition Group::first() const { return members_.empty() ? nullptr : positionOf(members_.front()); }

bool Group::holds(TQ3GroupPosition position) const {
    return position != nullptr && positions_.count(keyOf(position)) != 0;
}

TQ3GroupPosition Group::next(TQ3GroupPosition position) const {
    auto following = std::next(positions_.at(keyOf(position)));
    return following == members_.end() ? nullptr : positionOf(*following);
}

Object& Group::objectAt(TQ3GroupPosition position) const { return **positions_.at(keyOf(position)); }

void Group::empty() noexcept {
    positions_.clear();
    releaseAll(members_);
}

bool DisplayGroup::accepts(const Object& object) const { return object.isDrawable(); }

OwnedReferences::const_iterator OrderedDisplayGroup::insertionPoint(const OwnedReferences& members,
                                                                    const Object& object) const {
    // After the last member of the same or an earlier kind. Scanning from the
    // back makes the usual case, adding in kind order, constant time.
    const int kind = orderedKind(object);
    auto where = members.end();
    while (where != members.begin() && orderedKind(**std::prev(where)) > kind) --where;
    return where;
}

bool LightGroup::accepts(const Object& object) const { return object.isType(kQ3ShapeTypeLight); }

}  // namespace q3d

namespace {

// The group behind a handle, or nullptr with an error posted.
q3d::Group* groupOf(TQ3GroupObject group) noexcept { return q3d::resolveAs<q3d::Group>(group); }

// Whether position names a member of group; posts an error when not.
bool checkPosition(const q3d::Group& group, TQ3GroupPosition position) noexcept {
    if (group.holds(position)) return true;
    q3d::postError(kQ3ErrorInvalidPositionForGroup);
    return false;
}

}  // namespace

TQ3GroupObject Q3Group_New(void) { return q3d::createObject<q3d::Group>(__func__); }
TQ3GroupObject Q3DisplayGroup_New(void) { return q3d::createObject<q3d::DisplayGroup>(__func__); }
TQ3GroupObject Q3OrderedDisplayGroup_New(void) { return q3d::createObject<q3d::OrderedDisplayGroup>(__func__); }
TQ3GroupObject Q3LightGroup_New(void) { return q3d::createObject<q3d::LightGroup>(__func__); }

TQ3GroupPosition Q3Group_AddObject(TQ3GroupObject group, TQ3Object object) {
    if (q3d::failPoint(__func__)) return nullptr;
    return q3d::guarded<TQ3GroupPosition>(nullptr, [&]() -> TQ3GroupPosition {
        q3d::Group* target = groupOf(group);
        if (target == nullptr) return nullptr;
        q3d::Object* member = q3d::resolve(object);
        if (member == nullptr) return nullptr;
        const auto* memberGroup = dynamic_cast<const q3d::Group*>(member);
        if (!target->accepts(*member) || (memberGroup != nullptr && memberGroup->reaches(*target))) {
            q3d::postError(kQ3ErrorInvalidObjectForGroup);
            return nullptr;
        }
        return target->add(*member);
    });
}

TQ3Status Q3Group_CountObjects(TQ3GroupObject group, TQ3Uns32* nObjects) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    const q3d::Group* target = groupOf(group);
    if (target == nullptr) return kQ3Failure;
    if (nObjects == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    *nObjects = target->count();
    return kQ3Success;
}

TQ3Status Q3Group_GetFirstPosition(TQ3GroupObject group, TQ3GroupPosition* position) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    const q3d::Group* target = groupOf(group);
    if (target == nullptr) return kQ3Failure;
    if (position == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    *position = target->first();
    return kQ3Success;
}

TQ3Status Q3Group_GetNextPosition(TQ3GroupObject group, TQ3GroupPosition* position) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    const q3d::Group* target = groupOf(group);
    if (target == nullptr) return kQ3Failure;
    if (position == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    if (!checkPosition(*target, *position)) return kQ3Failure;
    *position = target->next(*position);
    return kQ3Success;
}

TQ3Status Q3Group_GetPositionObject(TQ3GroupObject group, TQ3GroupPosition position, TQ3Object* object) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    const q3d::Group* target = groupOf(group);
    if (target == nullptr) return kQ3Failure;
    if (object == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    if (!checkPosition(*target, position)) return kQ3Failure;
    q3d::Object& member = target->objectAt(position);
    q3d::retain(member);
    *object = q3d::handleOf(member);
    return kQ3Success;
}

TQ3Status Q3Group_EmptyObjects(TQ3GroupObject group) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    q3d::Group* target = groupOf(group);
    if (target == nullptr) return kQ3Failure;
    target->empty();
    return kQ3Success;
}
