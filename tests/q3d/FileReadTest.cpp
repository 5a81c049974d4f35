// Reading 3DMF files through the C API: both encodings and byte orders give
// the same objects, the ways real files break the published rules are read,
// and malformed files of every kind fail with an error and never crash,
// hang or over-allocate.
#include <cstring>
#include <string>
#include <vector>

#include "Q3dTestSupport.h"
#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DIO.h"
#include "platform/q3d/QD3DStorage.h"
#include "platform/q3d/QD3DView.h"
#include "tools/models/ModelWriter.h"
#include "tools/models/Primitives.h"

namespace q3dtest {
namespace {

using vask::models::Form;
using vask::models::ModelWriter;

struct Outcome {
    std::vector<std::string> types;  // leaf types in file order
    TQ3Error error = kQ3ErrorNone;   // of the read that failed, if any
    std::string problem;
    TQ3Warning warning = kQ3WarningNone;
    TQ3BoundingBox bounds{};         // exact, of the drawable objects
};

std::string fourCC(TQ3ObjectType t) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) s.push_back(char((TQ3Uns32(t) >> shift) & 0xff));
    return s;
}

// Reads every object of `bytes` through a memory storage.
Outcome readAll(const std::string& bytes, TQ3FileIdleMethod idle = nullptr) {
    Outcome out;
    Ref storage(Q3MemoryStorage_New(reinterpret_cast<const unsigned char*>(bytes.data()), TQ3Uns32(bytes.size())));
    Ref file(Q3File_New());
    Ref group(Q3DisplayGroup_New());
    Q3File_SetStorage(file.get(), storage.get());
    Q3File_SetIdleMethod(file.get(), idle, nullptr);
    char problem[256] = "";
    TQ3FileMode mode;
    if (Q3File_OpenRead(file.get(), &mode) != kQ3Success) {
        out.error = Q3Error_Get(nullptr);
        Q3File_GetReadProblem(file.get(), problem, sizeof problem);
        out.problem = problem;
        return out;
    }
    while (!Q3File_IsEndOfFile(file.get())) {
        Ref object(Q3File_ReadObject(file.get()));
        if (!object) {
            out.error = Q3Error_Get(nullptr);
            Q3File_GetReadProblem(file.get(), problem, sizeof problem);
            out.problem = problem;
            break;
        }
        out.types.push_back(fourCC(Q3Object_GetLeafType(object.get())));
        if (Q3Object_IsDrawable(object.get())) Q3Group_AddObject(group.get(), object.get());
    }
    out.warning = Q3Warning_Get(nullptr);
    EXPECT_EQ(Q3File_Close(file.get()), kQ3Success);
    Ref view(Q3View_New());
    Q3View_StartBoundingBox(view.get(), kQ3ComputeBoundsExact);
    do {
        Q3DisplayGroup_Submit(group.get(), view.get());
    } while (Q3View_EndBoundingBox(view.get(), &out.bounds) == kQ3ViewStatusRetraverse);
    return out;
}

template <class Write>
std::string model(Form form, Write write) {
    ModelWriter w(form);
    write(w);
    return w.bytes();
}

void box(ModelWriter& w, float size) {
    w.begin("Box", "box ");
    for (float v : {0.f, size, 0.f, 0.f, 0.f, size, size, 0.f, 0.f, 0.f, 0.f, 0.f}) w.f32(v);
    w.end();
}

class FileReadTest : public Q3dTest {};

TEST_F(FileReadTest, EveryFormOfTheGalleryReadsAlike) {
    const Outcome text = readAll(model(Form::kText, vask::models::writeGallery));
    ASSERT_EQ(text.error, kQ3ErrorNone) << text.problem;
    ASSERT_EQ(text.types.size(), 28u);
    for (Form form : {Form::kBigEndian, Form::kLittleEndian}) {
        Outcome binary = readAll(model(form, vask::models::writeGallery));
        ASSERT_EQ(binary.error, kQ3ErrorNone) << binary.problem;
        EXPECT_EQ(binary.warning, kQ3WarningUnknownObject) << "the custom object is skipped";
        ASSERT_EQ(binary.types[1], std::string("\xff\xff\xff\xff"));
        binary.types.erase(binary.types.begin() + 1);
        EXPECT_EQ(binary.types, text.types);
        EXPECT_EQ(std::memcmp(&binary.bounds, &text.bounds, sizeof text.bounds), 0);
    }
    EXPECT_FALSE(text.bounds.isEmpty);
    EXPECT_FLOAT_EQ(text.bounds.min.x, -6);
    EXPECT_FLOAT_EQ(text.bounds.max.y, 1);
}

TEST_F(FileReadTest, RealFilesQuirksAreRead) {
    // Unpadded binary objects: a TriMesh of one-byte indices leaves the next
    // object at an odd offset.
    const std::string unpadded = model(Form::kBigEndian, [](ModelWriter& w) {
        w.begin("TriMesh", "tmsh");
        for (TQ3Uns32 v : {1u, 0u, 0u, 0u, 3u, 0u}) w.u32(v);
        for (TQ3Uns32 v : {0u, 1u, 2u}) w.index(v, 1);
        for (float v : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) w.f32(v);
        w.end();
        box(w, 2);
    });
    Outcome o = readAll(unpadded);
    EXPECT_EQ(o.types, (std::vector<std::string>{"tmsh", "box "})) << o.problem;
    EXPECT_FLOAT_EQ(o.bounds.max.z, 2);

    // A marker whose image has no bytes at all (found by fuzzing: an empty
    // raw run was copied from a null buffer).
    o = readAll(model(Form::kBigEndian, [](ModelWriter& w) {
        w.begin("Marker", "mrkr");
        for (float v : {1.f, 2.f, 3.f}) w.f32(v);
        for (TQ3Uns32 v : {0u, 0u, 0u, 5u, 0u, 0u}) w.u32(v);
        w.end();
    }));
    EXPECT_EQ(o.types, std::vector<std::string>{"mrkr"}) << o.problem;

    // Text: CR and CRLF line ends, comments, keywords in any case, labels
    // followed by spaces, "()" without a space, a custom name with spaces
    // and a comma, and a table of contents that is never defined.
    const std::string text =
        "3DMetafile ( 1 6 normal tableofcontents0> )\r# a comment\rshape1:   Box ( 0 1 0 0 0 1 1 0 0 0 0 0 )\r\n"
        "Some Company, Inc.:NameElement ( \"x\" )\r\nBackfacing ( remove )\nDisplayGroup()\n";
    o = readAll(text);
    EXPECT_EQ(o.error, kQ3ErrorNone) << o.problem;
    EXPECT_EQ(o.types, (std::vector<std::string>{"box ", "unkn", "bckf", "dspg"}));

    // A style value past its enumeration takes the default, with a warning
    // (found by fuzzing: the number became the enumeration unchecked).
    o = readAll("3DMetafile ( 1 6 Normal x> ) Subdivision ( 1701077357 1 ) Fill ( 9 )");
    EXPECT_EQ(o.types, (std::vector<std::string>{"sbdv", "fist"})) << o.problem;
    EXPECT_EQ(o.warning, kQ3WarningParameterOutOfRange);
}

TEST_F(FileReadTest, ReferencesShareTheirObjectAndRefuseLoopsAndDangling) {
    // A group referenced twice is one object, read whole through its EndGroup.
    auto withReference = [](Form form, TQ3Uns32 id, bool selfLoop) {
        ModelWriter w(form);
        const std::uint64_t at = w.offset();
        w.begin("BeginGroup", "bgng", "grp");
        w.begin("DisplayGroup", "dspg");
        w.end();
        w.end();
        box(w, 1);
        if (selfLoop) {
            w.begin("Reference", "rfrn");
            w.u32(1);
            w.end();
        }
        w.begin("EndGroup", "endg");
        w.end();
        w.begin("Reference", "rfrn");
        w.u32(id);
        w.end();
        const std::uint64_t table = w.offset();
        w.begin("TableOfContents", "toc ", "tableofcontents0");
        w.isText() ? w.i32(-1) : w.u64(0);
        for (TQ3Uns32 v : {2u, 0u, 0u, 12u, 1u, 1u}) w.u32(v);
        w.pointer("grp", at);
        w.end();
        w.setTableOffset(table);
        return w.bytes();
    };
    for (Form form : {Form::kText, Form::kBigEndian}) {
        Outcome o = readAll(withReference(form, 1, false));
        EXPECT_EQ(o.types, (std::vector<std::string>{"dspg", "dspg"})) << o.problem;
        o = readAll(withReference(form, 5, false));
        EXPECT_EQ(o.error, kQ3ErrorUnresolvableReference);
        EXPECT_NE(o.problem.find("reference 5"), std::string::npos) << o.problem;
        o = readAll(withReference(form, 1, true));
        EXPECT_EQ(o.error, kQ3ErrorUnresolvableReference) << "a group that holds a reference to itself";
    }
}

TEST_F(FileReadTest, JunkAfterTheLastObjectKeepsWhatCameBefore) {
    for (Form form : {Form::kText, Form::kLittleEndian}) {
        std::string bytes = model(form, [](ModelWriter& w) { box(w, 1); });
        bytes += form == Form::kText ? "\x01\x02 garbage" : std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09", 9);
        const Outcome o = readAll(bytes);
        EXPECT_EQ(o.error, kQ3ErrorNone) << o.problem;
        EXPECT_EQ(o.types, std::vector<std::string>{"box "});
        EXPECT_EQ(o.warning, kQ3WarningInvalidMetafileObject);
    }
}

TEST_F(FileReadTest, MalformedFilesFailWithAnErrorNeverACrash) {
    const std::string sheet = model(Form::kBigEndian, [](ModelWriter& w) { vask::models::writeWavySheet(w, 4, 4); });
    // Truncated at every byte: an error, or the objects whole before the cut.
    for (std::size_t n = 0; n < sheet.size(); ++n) {
        const Outcome o = readAll(sheet.substr(0, n));
        EXPECT_TRUE(o.error != kQ3ErrorNone || o.types.empty()) << "cut at " << n;
    }
    const std::string text = model(Form::kText, [](ModelWriter& w) { vask::models::writeWavySheet(w, 3, 3); });
    for (std::size_t n = 0; n < text.size(); n += 7) {
        const Outcome o = readAll(text.substr(0, n));
        EXPECT_TRUE(o.error != kQ3ErrorNone || o.types.empty()) << "cut at " << n;
    }

    struct Case {
        const char* what;
        std::string bytes;
        TQ3Error error;
    };
    auto triMesh = [](TQ3Uns32 triangles, TQ3Uns32 points, TQ3Uns32 index) {
        return model(Form::kBigEndian, [=](ModelWriter& w) {
            w.begin("TriMesh", "tmsh");
            for (TQ3Uns32 v : {triangles, 0u, 0u, 0u, points, 0u}) w.u32(v);
            for (TQ3Uns32 v : {0u, 1u, index}) w.index(v, 1);
            for (int k = 0; k < 9; ++k) w.f32(0);
            w.end();
        });
    };
    std::string nested = "3DMetafile ( 1 6 Normal toc> )\n";
    for (int k = 0; k < 200; ++k) nested += "Container ( ";
    nested += "Box ( )";
    for (int k = 0; k < 200; ++k) nested += " )";
    std::string pastParent = model(Form::kBigEndian, [](ModelWriter& w) {
        w.begin("Container", "cntr");
        box(w, 1);
        w.end();
    });
    pastParent[24 + 7] = char(60);  // the box's size now runs past its container
    // Each group holds the one before twice: 2^40 boxes once unfolded (all
    // inside one group, so that nothing is read before the failure).
    std::string laughs = "3DMetafile ( 1 6 Normal toc> )\nBeginGroup ( DisplayGroup ( ) )\n"
                         "g1: BeginGroup ( DisplayGroup ( ) ) Box ( ) EndGroup ( )\n";
    std::string entries;
    for (int k = 2; k <= 40; ++k) {
        laughs += "g" + std::to_string(k) + ": BeginGroup ( DisplayGroup ( ) ) Reference ( " + std::to_string(k - 1) +
                  " ) Reference ( " + std::to_string(k - 1) + " ) EndGroup ( )\n";
    }
    for (int k = 1; k <= 40; ++k) entries += " " + std::to_string(k) + " g" + std::to_string(k) + ">";
    laughs += "EndGroup ( )\ntoc: TableOfContents ( -1 41 -1 0 12 40" + entries + " )\n";
    const std::vector<Case> cases = {
        {"an index past the points", triMesh(1, 3, 7), kQ3ErrorInvalidMetafileObject},
        {"a count past the object", triMesh(0x7fffffff, 3, 2), kQ3ErrorInvalidMetafileObject},
        {"a huge point count", triMesh(1, 0xffffffffu, 2), kQ3ErrorInvalidMetafileObject},
        {"a child past its parent", pastParent, kQ3ErrorInvalidMetafileObject},
        {"deep nesting", nested, kQ3ErrorInvalidMetafile},
        {"references that multiply a group", laughs, kQ3ErrorInvalidMetafileObject},
        {"not a 3DMF file", "3DMX and more", kQ3ErrorInvalidMetafile},
        {"an unknown pixel type", "3DMetafile ( 1 6 Normal x> ) PixmapTexture ( 1 1 4 32 9 0 0 0x00000000 )",
         kQ3ErrorInvalidMetafileObject},
        {"a text value that is no number", "3DMetafile ( 1 6 Normal x> ) Point ( 1 two 3 )",
         kQ3ErrorInvalidMetafilePrimitive},
        {"an object without its end", "3DMetafile ( 1 6 Normal x> ) Point ( 1 2 3 ", kQ3ErrorEndOfFile},
    };
    for (const Case& c : cases) {
        const Outcome o = readAll(c.bytes);
        EXPECT_EQ(o.error, c.error) << c.what << ": " << o.problem;
        EXPECT_FALSE(o.problem.empty()) << c.what;
        EXPECT_TRUE(o.types.empty()) << c.what;
    }
}

TEST_F(FileReadTest, TheIdleMethodCanStopARead) {
    const std::string bytes = model(Form::kBigEndian, [](ModelWriter& w) {
        for (int k = 0; k < 3; ++k) box(w, 1);
    });
    const Outcome o = readAll(bytes, [](TQ3FileObject, const void*) { return kQ3Failure; });
    EXPECT_EQ(o.error, TQ3Error(kQ3NoticeFileCancelled));
    EXPECT_TRUE(o.types.empty());
}

TEST_F(FileReadTest, TriMeshesKeepTheirCountsAndApproximateBoundsHoldTheExact) {
    const std::string bytes = model(Form::kLittleEndian, [](ModelWriter& w) {
        w.begin("Rotate", "rott");
        w.u32(2);
        w.f32(0.7f);
        w.end();
        vask::models::writeWavySheet(w, 5, 7);
    });
    Ref storage(Q3MemoryStorage_New(reinterpret_cast<const unsigned char*>(bytes.data()), TQ3Uns32(bytes.size())));
    Ref file(Q3File_New());
    Q3File_SetStorage(file.get(), storage.get());
    ASSERT_EQ(Q3File_OpenRead(file.get(), nullptr), kQ3Success);
    Ref rotate(Q3File_ReadObject(file.get()));
    Ref mesh(Q3File_ReadObject(file.get()));
    ASSERT_TRUE(mesh);
    EXPECT_TRUE(Q3File_IsEndOfFile(file.get()));
    EXPECT_EQ(Q3File_ReadObject(file.get()), nullptr);
    EXPECT_EQ(Q3Error_Get(nullptr), kQ3ErrorEndOfFile);
    TQ3TriMeshCounts counts{};
    ASSERT_EQ(Q3TriMesh_GetCounts(mesh.get(), &counts), kQ3Success);
    EXPECT_EQ(counts.numTriangles, 48u);
    EXPECT_EQ(counts.numPoints, 35u);
    EXPECT_EQ(counts.numAttributeTypes, 1u);
    Q3File_Close(file.get());

    TQ3BoundingBox boxes[2];
    for (TQ3ComputeBounds mode : {kQ3ComputeBoundsExact, kQ3ComputeBoundsApproximate}) {
        Ref view(Q3View_New());
        Q3View_StartBoundingBox(view.get(), mode);
        do {
            Q3Transform_Submit(rotate.get(), view.get());
            Q3Geometry_Submit(mesh.get(), view.get());
        } while (Q3View_EndBoundingBox(view.get(), &boxes[mode]) == kQ3ViewStatusRetraverse);
    }
    const TQ3BoundingBox& exact = boxes[kQ3ComputeBoundsExact];
    const TQ3BoundingBox& approximate = boxes[kQ3ComputeBoundsApproximate];
    EXPECT_LT(approximate.min.x, exact.min.x) << "the rotated local box is larger";
    EXPECT_GT(approximate.max.y, exact.max.y);
    EXPECT_LE(approximate.min.z, exact.min.z);
}

TEST_F(FileReadTest, EveryRotationTurnsCounterClockwiseAboutItsAxis) {
    // A quarter turn about +Z, written five ways, carries the point (1, 0, 0)
    // to (0, 1, 0); the point (2, 0, 0) turned about (1, 0, 0) goes to (1, 1, 0).
    const float h = 0.70710678f, quarter = 1.5707964f;
    auto turned = [](const std::string& transform, float x) {
        const std::string text = "3DMetafile ( 1 6 Normal x> )\nBeginGroup ( DisplayGroup ( ) ) " + transform +
                                 " Point ( " + std::to_string(x) + " 0 0 ) EndGroup ( )\n";
        return readAll(text).bounds;
    };
    const std::string cases[] = {
        "Rotate ( Z " + std::to_string(quarter) + " )",
        "RotateAboutAxis ( 0 0 0 0 0 1 " + std::to_string(quarter) + " )",
        "Quaternion ( " + std::to_string(h) + " 0 0 " + std::to_string(h) + " )",
        "Matrix ( 0 1 0 0 -1 0 0 0 0 0 1 0 0 0 0 1 )",
    };
    for (const std::string& c : cases) {
        const TQ3BoundingBox b = turned(c, 1);
        EXPECT_NEAR(b.min.x, 0, 1e-5) << c;
        EXPECT_NEAR(b.min.y, 1, 1e-5) << c;
    }
    const TQ3BoundingBox b = turned("RotateAboutPoint ( Z " + std::to_string(quarter) + " 1 0 0 )", 2);
    EXPECT_NEAR(b.min.x, 1, 1e-5);
    EXPECT_NEAR(b.min.y, 1, 1e-5);
}

}  // namespace
}  // namespace q3dtest
