#include "platform/q3d/io/ObjectReader.h"

#include <algorithm>
#include <memory>

#include "platform/q3d/groups/Group.h"
#include "platform/q3d/io/Readers.h"
#include "platform/q3d/io/UnknownObject.h"

namespace q3d::io {
namespace {

std::string kindName(const ObjectHead& head) {
    if (!head.name.empty()) return std::string(head.name.substr(0, 60));
    const std::string_view name = nameOfCode(head.code);
    return name.empty() ? "object '" + codeText(head.code) + "'" : std::string(name);
}

// Whether the library knows the code, though it does not draw it.
bool isKnownUndrawn(TQ3ObjectType code) { return !nameOfCode(code).empty(); }

constexpr std::size_t kMaxTables = 1024;

}  // namespace

std::string Reading::what() const {
    return "the " + kindName(head) + (src.isText() ? " near " + src.where() : " at byte " + std::to_string(head.start));
}

void Reading::checkCount(std::uint64_t count, std::uint64_t values, unsigned width, const char* name) const {
    const std::uint64_t least = src.leastBytes(width);
    const std::uint64_t room = src.bytesLeft() / least;
    if (values != 0 && count > room / values) {
        bad("has " + std::to_string(count) + " " + name + ", more than its data can hold");
    }
}

Ref<Object> ObjectReader::next() {
    ObjectHead head;
    while (src_.enter(head, Source::AtTop::kJunkEnds)) {
        Ref<Object> object = readObject(head, 0);
        if (!object) continue;
        const auto inner = ctx_.unfolded.find(object.get());
        ctx_.unfoldedInFile += inner != ctx_.unfolded.end() ? inner->second : 1;
        if (ctx_.unfoldedInFile > kMaxUnfolded) {
            fail(kQ3ErrorInvalidMetafileObject,
                 "the file stands for more than " + std::to_string(kMaxUnfolded) + " objects once its references are unfolded");
        }
        return object;
    }
    return {};
}

bool ObjectReader::atEnd() {
    for (;;) {
        Mark before = src_.mark();
        ObjectHead head;
        try {
            if (!src_.enter(head, Source::AtTop::kJunkEnds)) return true;
            switch (head.code) {
                case kTableOfContents:
                case kHeader:
                    src_.leave();
                    continue;
                case kTypeDeclaration:
                    declareType();
                    continue;
                case kEndGroup:
                    postWarning(kQ3WarningUnmatchedEndGroup);
                    src_.leave();
                    continue;
                default:
                    src_.restore(before);
                    return false;
            }
        } catch (const ReadFailure&) {
            src_.restore(before);
            return false;
        }
    }
}

void ObjectReader::declareType() {
    // A custom type's code and owner name; objects of it follow, and are
    // skipped by their size as unknown.
    const TQ3Int32 code = src_.i32();
    std::string name = src_.moreData() ? src_.string() : std::string();
    src_.leave();
    if (ctx_.customTypes.size() < 100000) ctx_.customTypes[code] = std::move(name);
}

void ObjectReader::skipChildren(bool inContainer) {
    if (!inContainer) return;
    ObjectHead child;
    while (src_.enter(child)) src_.leave();
}

Ref<Object> ObjectReader::readObject(const ObjectHead& head, int depth) {
    if (depth > kMaxNesting) {
        fail(kQ3ErrorInvalidMetafile, "objects nest deeper than " + std::to_string(kMaxNesting) + " levels, at " +
                                          src_.where());
    }
    if (src_.poll != nullptr) src_.poll(src_.pollContext);
    // An object that a reference has already read is the same object.
    if (!ctx_.byPosition.empty()) {
        if (const auto found = ctx_.byPosition.find(head.start); found != ctx_.byPosition.end()) {
            Ref<Object> shared = Ref<Object>::share(found->second.get());
            if (head.code == kBeginGroup) {
                // The members follow the BeginGroup: skip them too.
                src_.leave();
                int open = 1;
                ObjectHead member;
                while (open > 0 && src_.enter(member)) {
                    open += member.code == kBeginGroup ? 1 : member.code == kEndGroup ? -1 : 0;
                    src_.leave();
                }
                return shared;
            }
            src_.leave();
            return shared;
        }
    }
    Ref<Object> object;
    switch (head.code) {
        case kContainer:
            object = readContainer(depth);
            break;
        case kReference:
            return readReference(depth);
        case kBeginGroup:
            object = readGroup(depth);
            break;
        case kTableOfContents:
        case kHeader:
            src_.leave();
            return {};
        case kTypeDeclaration:
            declareType();
            return {};
        case kEndGroup:
            postWarning(kQ3WarningUnmatchedEndGroup);
            src_.leave();
            return {};
        default:
            object = build(head, false, depth);
            break;
    }
    if (object && ctx_.referenced.count(head.start) != 0) {
        ctx_.byPosition.emplace(head.start, Ref<Object>::share(object.get()));
    }
    return object;
}

Ref<Object> ObjectReader::readContainer(int depth) {
    ObjectHead root;
    if (!src_.enter(root)) {
        src_.leave();
        postWarning(kQ3WarningInvalidMetafileObject);
        return {};
    }
    Ref<Object> object;
    if (root.code == kContainer || root.code == kReference || root.code == kBeginGroup) {
        object = readObject(root, depth + 1);
        skipChildren(true);
    } else {
        object = build(root, true, depth + 1);
    }
    // Children that no reader took.
    ObjectHead child;
    while (src_.enter(child)) {
        postWarning(kQ3WarningInvalidSubObjectForObject);
        src_.leave();
    }
    src_.leave();
    return object;
}

Ref<Object> ObjectReader::readReference(int depth) {
    const TQ3Uns32 id = src_.u32();
    src_.leave();
    const auto entry = ctx_.references.find(id);
    if (entry == ctx_.references.end()) {
        fail(kQ3ErrorUnresolvableReference,
             "reference " + std::to_string(id) + " names nothing in the table of contents, at " + src_.where());
    }
    const std::uint64_t position = entry->second;
    if (const auto found = ctx_.byPosition.find(position); found != ctx_.byPosition.end()) {
        return Ref<Object>::share(found->second.get());
    }
    if (!ctx_.resolving.insert(position).second) {
        fail(kQ3ErrorUnresolvableReference, "reference " + std::to_string(id) + " leads back to itself");
    }
    const Mark back = src_.mark();
    src_.seekTop(position);
    ObjectHead target;
    if (!src_.enter(target, Source::AtTop::kJunkFails)) {
        fail(kQ3ErrorUnresolvableReference, "reference " + std::to_string(id) + " points past the last object");
    }
    Ref<Object> object = readObject(target, depth + 1);
    ctx_.resolving.erase(position);
    src_.restore(back);
    if (!object) {
        fail(kQ3ErrorUnresolvableReference, "reference " + std::to_string(id) + " names an object that gives nothing");
    }
    ctx_.byPosition.emplace(position, Ref<Object>::share(object.get()));
    return object;
}

Ref<Object> ObjectReader::readGroup(int depth) {
    // The BeginGroup holds the group object and, optionally, its state.
    ObjectHead kind;
    std::unique_ptr<Group> group;
    if (src_.enter(kind)) {
        switch (kind.code) {
            case kQ3DisplayGroupTypeOrdered:
                group = std::make_unique<OrderedDisplayGroup>();
                break;
            case kQ3GroupTypeLight:
                group = std::make_unique<LightGroup>();
                break;
            case kQ3ShapeTypeGroup:
            case kQ3GroupTypeInfo:
                group = std::make_unique<Group>();
                break;
            default:
                group = std::make_unique<DisplayGroup>();
                break;
        }
        src_.leave();
        ObjectHead extra;
        while (src_.enter(extra)) src_.leave();  // DisplayGroupState and custom elements
    } else {
        group = std::make_unique<DisplayGroup>();
    }
    src_.leave();
    Group& members = *group;
    Ref<Object> result = own(std::move(group));
    std::uint64_t unfolded = 0;
    // Members follow as siblings up to the matching EndGroup.
    ObjectHead member;
    for (;;) {
        if (!src_.enter(member, Source::AtTop::kJunkEnds)) {
            postWarning(kQ3WarningUnmatchedBeginGroup);
            break;
        }
        if (member.code == kEndGroup) {
            src_.leave();
            break;
        }
        Ref<Object> object = readObject(member, depth + 1);
        if (!object) continue;
        // No member can hold this group: it is new, and a reference back to
        // it is refused as a loop. (Asking each member would walk every path
        // through shared groups, which references can make exponential.)
        if (members.accepts(*object)) {
            const auto inner = ctx_.unfolded.find(object.get());
            unfolded += inner != ctx_.unfolded.end() ? inner->second : 1;
            if (unfolded > kMaxUnfolded) {
                fail(kQ3ErrorInvalidMetafileObject, "a group stands for more than " + std::to_string(kMaxUnfolded) +
                                                        " objects once its references are unfolded");
            }
            members.add(*object);
        } else {
            postWarning(kQ3WarningInvalidObjectInGroupMetafile);
        }
    }
    ctx_.unfolded[result.get()] = std::max<std::uint64_t>(unfolded, 1);
    // Kept alive while the file is open, so that no later object takes the
    // address the count is filed under.
    ctx_.setKeepers[result.get()] = Ref<Object>::share(result.get());
    return result;
}

Ref<Object> ObjectReader::build(const ObjectHead& head, bool inContainer, int depth) {
    Reading r{src_, ctx_, *this, head, depth, inContainer};
    const TQ3ObjectType code = head.code;
    if (isGeometry(code)) return readGeometry(r);
    if (code == kQ3SetTypeAttribute || isCapSet(code)) return readAttributeSet(r);
    if (isTransform(code)) return readTransform(r);
    if (isShader(code)) return readShader(r);
    if (isTexture(code)) return readTexture(r);
    if (isStyle(code)) return readStyle(r);
    // Anything else is kept as an unknown object and skipped by its size.
    if (!isKnownUndrawn(code)) postWarning(kQ3WarningUnknownObject);
    src_.leave();
    skipChildren(inContainer);
    return own(std::make_unique<UnknownObject>(code));
}

void ObjectReader::readTables(std::uint64_t position) {
    std::unordered_set<std::uint64_t> seen;
    const Mark back = src_.mark();
    try {
        while (position != Source::kNowhere && seen.insert(position).second && seen.size() <= kMaxTables) {
            src_.seekTop(position);
            ObjectHead head;
            if (!src_.enter(head, Source::AtTop::kJunkFails) || head.code != kTableOfContents) {
                fail(kQ3ErrorInvalidMetafile, "no table of contents where the file says");
            }
            const std::uint64_t nextTable = src_.filePointer();
            src_.u32();  // the next free reference id
            src_.i32();  // the next free type id
            const TQ3Uns32 entryType = src_.u32();
            const TQ3Uns32 entrySize = src_.u32();
            const TQ3Uns32 count = src_.u32();
            if (entryType > 1) fail(kQ3ErrorInvalidMetafile, "an unknown kind of table entry");
            // An entry is an id and a pointer, plus a type for entry type 1.
            const std::uint64_t least = src_.isText() ? 4 : std::max<std::uint64_t>(entrySize, 12);
            if (count > src_.bytesLeft() / least) fail(kQ3ErrorInvalidMetafile, "more table entries than bytes");
            for (TQ3Uns32 i = 0; i < count; ++i) {
                const TQ3Uns32 id = src_.u32();
                const std::uint64_t at = src_.filePointer();
                if (entryType == 1) src_.skipValue();
                if (!src_.isText() && entrySize > (entryType == 1 ? 16u : 12u)) {
                    for (TQ3Uns32 skip = entryType == 1 ? 16 : 12; skip + 4 <= entrySize; skip += 4) src_.skipValue();
                }
                if (at == Source::kNowhere) continue;
                ctx_.references[id] = at;
                ctx_.referenced.insert(at);
            }
            src_.leave();
            position = nextTable;
        }
    } catch (const ReadFailure&) {
        postWarning(kQ3WarningInvalidTableOfContents);
    }
    src_.restore(back);
}

}  // namespace q3d::io
