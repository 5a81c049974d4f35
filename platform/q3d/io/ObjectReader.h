// Turns the objects of a 3DMF file into library objects, the same way for
// both encodings (Source.h): containers and their children, groups,
// references through the table of contents, custom type declarations, and
// every object kind listed in QD3DIO.h.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "platform/q3d/core/Ref.h"
#include "platform/q3d/io/Source.h"
#include "platform/q3d/shaders/Shaders.h"

namespace q3d::io {

// What lasts from one read of a file to the next.
struct ReadContext {
    std::unordered_map<TQ3Int32, std::string> customTypes;
    std::unordered_map<TQ3Uns32, std::uint64_t> references;  // reference id → object position
    std::unordered_set<std::uint64_t> referenced;             // positions the table names
    std::unordered_map<std::uint64_t, Ref<Object>> byPosition;
    std::unordered_set<std::uint64_t> resolving;
    // The texture shader an attribute set carried, kept beside the set.
    std::unordered_map<const Object*, Ref<TextureShader>> setTextures;
    // Objects whose addresses key the maps here, kept alive while the file
    // is open so that no other object can take their address.
    std::unordered_map<const Object*, Ref<Object>> setKeepers;
    std::unordered_map<const Object*, TQ3ObjectType> capOf;
    // Steps of polygon triangulation left for the whole file.
    std::uint64_t triangulationBudget = std::uint64_t{1} << 27;
    // How many objects each group stands for with its nested groups
    // unfolded: references can nest one group in another many times over,
    // and drawing walks every path.
    std::unordered_map<const Object*, std::uint64_t> unfolded;
    std::uint64_t unfoldedInFile = 0;  // of the top-level objects read so far
};

// Objects nest (containers, groups, references) at most this deep.
inline constexpr int kMaxNesting = 64;
// A file may stand for at most this many objects, its groups unfolded, so
// that drawing a model takes bounded time.
inline constexpr std::uint64_t kMaxUnfolded = std::uint64_t{1} << 20;

class ObjectReader {
public:
    ObjectReader(Source& source, ReadContext& context) : src_(source), ctx_(context) {}

    // The next top-level object, or an empty Ref at the end of the file.
    // Throws ReadFailure, std::bad_alloc.
    Ref<Object> next();

    // Consumes what stands before the next object (tables of contents, type
    // declarations, stray EndGroups, trailing junk) and says whether the
    // file has ended. A failure is left for next() to meet.
    bool atEnd();

    // Reads the table of contents at `position` and the ones it chains to
    // into the context. A damaged table posts kQ3WarningInvalidTableOfContents
    // and is dropped. Throws std::bad_alloc.
    void readTables(std::uint64_t position);

    // Reads the object whose head `head` has just been entered, whole (its
    // container, group or reference included), and leaves it. An empty Ref
    // for objects that give nothing.
    Ref<Object> readObject(const ObjectHead& head, int depth);

private:
    Ref<Object> build(const ObjectHead& head, bool inContainer, int depth);
    Ref<Object> readContainer(int depth);
    Ref<Object> readReference(int depth);
    Ref<Object> readGroup(int depth);
    void declareType();
    void skipChildren(bool inContainer);

    Source& src_;
    ReadContext& ctx_;
};

}  // namespace q3d::io
