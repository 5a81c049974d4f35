#include "tools/models/Primitives.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace vask::models {
namespace {

void floats(ModelWriter& w, std::initializer_list<float> values) {
    for (float v : values) w.f32(v);
}

void colour(ModelWriter& w, float r, float g, float b, std::string_view label = {}) {
    w.begin("Container", "cntr", label);
    w.begin("AttributeSet", "attr");
    w.end();
    w.begin("DiffuseColor", "kdif");
    floats(w, {r, g, b});
    w.end();
    w.end();
}

void translate(ModelWriter& w, float x, float y, float z) {
    w.begin("Translate", "trns");
    floats(w, {x, y, z});
    w.end();
}

// The frame of a round object: orientation, major and minor radius, origin.
void frame(ModelWriter& w, bool orientation = true) {
    if (orientation) floats(w, {0, 1, 0});
    floats(w, {0, 0, 0.5f, 0.5f, 0, 0, 0, 0, 0});
}

void caps(ModelWriter& w) {
    w.begin("Caps", "caps");
    w.keyword("Top | Bottom", 3);
    w.end();
}

struct Table {
    std::uint64_t offset = 0;  // binary: where the shared colour starts
};

void table(ModelWriter& w, const Table& t) {
    const std::uint64_t at = w.offset();
    w.begin("TableOfContents", "toc ", "tableofcontents0");
    if (w.isText()) {
        w.i32(-1);
    } else {
        w.u64(0);
    }
    w.u32(2), w.i32(-1), w.u32(0), w.u32(12), w.u32(1);
    w.u32(1);
    w.pointer("gold", t.offset);
    w.end();
    w.setTableOffset(at);
}

}  // namespace

void writeGallery(ModelWriter& w) {
    Table t;
    w.begin("PhongIllumination", "phil");
    w.end();
    // A custom type: declared, then one object of it, which readers skip.
    if (!w.isText()) {
        w.begin("Type", "type");
        w.i32(-1);
        w.string("com.vask:Note");
        w.end();
        w.begin("", "\xff\xff\xff\xff");
        w.string("made by vask_models");
        w.end();
    }

    // A textured box: a 2 × 2 checker, RGB32.
    translate(w, -4, 0, 0);
    w.begin("Container", "cntr");
    w.begin("Box", "box ");
    floats(w, {0, 1, 0, 0, 0, 1, 1, 0, 0, -0.5f, -0.5f, -0.5f});
    w.end();
    t.offset = w.offset();
    colour(w, 1, 0.8f, 0.2f, "gold");
    w.end();

    translate(w, 1.5f, 0, 0);
    w.begin("Container", "cntr");
    w.begin("TextureShader", "txsu");
    w.end();
    w.begin("Shader", "shdr");
    w.u32(0), w.u32(1);
    w.end();
    w.begin("PixmapTexture", "txpm");
    w.u32(2), w.u32(2), w.u32(8), w.u32(32), w.u32(0), w.u32(0), w.u32(0);
    w.raw({0, 255, 255, 255, 0, 40, 40, 200, 0, 40, 40, 200, 0, 255, 255, 255});
    w.end();
    w.end();
    w.begin("Container", "cntr");
    w.begin("Ellipsoid", "elpd");
    frame(w);
    floats(w, {0, 1, 0, 1});
    w.end();
    colour(w, 0.3f, 0.6f, 1);
    w.end();

    translate(w, 1.5f, 0, 0);
    w.begin("Container", "cntr");
    w.begin("Cylinder", "cyln");
    frame(w);
    floats(w, {0, 1, 0, 1});
    w.end();
    caps(w);
    w.begin("Container", "cntr");
    w.begin("TopCapAttributeSet", "tcas");
    w.end();
    colour(w, 1, 1, 0.2f);
    w.end();
    colour(w, 0.9f, 0.3f, 0.3f);
    w.end();

    translate(w, 1.5f, 0, 0);
    w.begin("Container", "cntr");
    w.begin("Cone", "cone");
    frame(w);
    floats(w, {0, 1, 0, 1});
    w.end();
    caps(w);
    colour(w, 0.3f, 0.9f, 0.4f);
    w.end();

    translate(w, 1.5f, 0, 0);
    w.begin("Container", "cntr");
    w.begin("Torus", "tors");
    floats(w, {0, 0.15f, 0, 0, 0, 0.4f, 0.4f, 0, 0, 0, 0, 0, 1, 0, 1, 0, 1});
    w.end();
    w.begin("Reference", "rfrn");
    w.u32(1);
    w.end();
    w.end();

    translate(w, 1.5f, 0, 0);
    w.begin("Disk", "disk");
    frame(w, false);
    floats(w, {0, 1, 0, 1});
    w.end();

    // The second row: flat and line geometry.
    translate(w, -9, -1.5f, 0);
    w.begin("Container", "cntr");
    w.begin("Triangle", "trng");
    floats(w, {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0, 0.5f, 0});
    w.end();
    w.begin("VertexAttributeSetList", "vasl");
    w.u32(3), w.keyword("Exclude", 1), w.u32(0);
    w.end();
    colour(w, 1, 0, 0);
    colour(w, 0, 1, 0);
    colour(w, 0, 0, 1);
    w.end();

    translate(w, 1.5f, 0, 0);
    w.begin("Polygon", "plyg");
    w.u32(5);
    floats(w, {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.2f, 0, 0, 0.5f, 0, -0.5f, 0.2f, 0});
    w.end();

    translate(w, 1.5f, 0, 0);
    w.begin("Container", "cntr");
    w.begin("GeneralPolygon", "gpgn");
    w.u32(2);
    w.u32(4);
    floats(w, {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0});
    w.u32(4);
    floats(w, {-0.2f, -0.2f, 0, -0.2f, 0.2f, 0, 0.2f, 0.2f, 0, 0.2f, -0.2f, 0});
    w.end();
    w.begin("GeneralPolygonHint", "gplh");
    w.keyword("Complex", 0);
    w.end();
    colour(w, 0.8f, 0.5f, 0.9f);
    w.end();

    translate(w, 1.5f, 0, 0);
    w.begin("Mesh", "mesh");
    w.u32(8);
    floats(w, {-0.5f, -0.5f, 0, 0.5f, -0.5f, 0, 0.5f, 0.5f, 0, -0.5f, 0.5f, 0});
    floats(w, {-0.2f, -0.2f, 0, -0.2f, 0.2f, 0, 0.2f, 0.2f, 0, 0.2f, -0.2f, 0});
    w.u32(1), w.u32(1);
    w.i32(4), w.u32(0), w.u32(1), w.u32(2), w.u32(3);
    w.i32(-4), w.u32(4), w.u32(5), w.u32(6), w.u32(7);
    w.end();

    translate(w, 1.5f, 0, 0);
    w.begin("TriGrid", "trig");
    w.u32(3), w.u32(3);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) floats(w, {c * 0.5f - 0.5f, r * 0.5f - 0.5f, (r == 1 && c == 1) ? 0.3f : 0.f});
    }
    w.end();

    translate(w, 1.5f, 0, 0);
    w.begin("Container", "cntr");
    w.begin("NURBPatch", "nrbp");
    w.u32(2), w.u32(2), w.u32(2), w.u32(2);
    floats(w, {-0.5f, -0.5f, 0, 1, 0.5f, -0.5f, 0.3f, 1, -0.5f, 0.5f, 0.3f, 1, 0.5f, 0.5f, 0, 1});
    floats(w, {0, 0, 1, 1, 0, 0, 1, 1});
    w.end();
    colour(w, 0.2f, 0.8f, 0.8f);
    w.end();

    // The third row: lines and points, in a group.
    translate(w, -7.5f, -1.5f, 0);
    w.begin("BeginGroup", "bgng");
    w.begin("DisplayGroup", "dspg");
    w.end();
    w.end();
    w.begin("Line", "line");
    floats(w, {-0.5f, -0.5f, 0, 0.5f, 0.5f, 0});
    w.end();
    translate(w, 1.5f, 0, 0);
    w.begin("PolyLine", "plyl");
    w.u32(4);
    floats(w, {-0.5f, -0.5f, 0, -0.2f, 0.5f, 0, 0.2f, -0.5f, 0, 0.5f, 0.5f, 0});
    w.end();
    translate(w, 1.5f, 0, 0);
    w.begin("NURBCurve", "nrbc");
    w.u32(3), w.u32(4);
    floats(w, {-0.5f, -0.5f, 0, 1, -0.5f, 0.5f, 0, 1, 0.5f, 0.5f, 0, 1, 0.5f, -0.5f, 0, 1});
    floats(w, {0, 0, 0, 0.5f, 1, 1, 1});
    w.end();
    translate(w, 1.5f, 0, 0);
    w.begin("Point", "pnt ");
    floats(w, {0, 0, 0});
    w.end();
    w.begin("Marker", "mrkr");
    floats(w, {0.3f, 0, 0});
    w.i32(-4), w.i32(-4), w.u32(8), w.u32(8), w.u32(1), w.u32(0);
    w.raw({0xff, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0xff});
    w.end();
    w.begin("EndGroup", "endg");
    w.end();
    table(w, t);
}

void writeRocket(ModelWriter& w) {
    w.begin("BeginGroup", "bgng");
    w.begin("DisplayGroup", "dspg");
    w.end();
    w.end();
    w.begin("PhongIllumination", "phil");
    w.end();
    w.begin("Container", "cntr");
    w.begin("Cylinder", "cyln");
    floats(w, {0, 2, 0, 0, 0, 0.4f, 0.4f, 0, 0, 0, 0, 0});
    w.end();
    caps(w);
    colour(w, 0.85f, 0.85f, 0.9f);
    w.end();
    w.begin("Container", "cntr");
    w.begin("Cone", "cone");
    floats(w, {0, 0.9f, 0, 0, 0, 0.4f, 0.4f, 0, 0, 0, 2, 0});
    w.end();
    colour(w, 0.9f, 0.2f, 0.15f);
    w.end();
    w.begin("Container", "cntr");
    w.begin("Torus", "tors");
    floats(w, {0, 0.08f, 0, 0, 0, 0.42f, 0.42f, 0, 0, 0, 1.2f, 0, 1});
    w.end();
    colour(w, 0.2f, 0.3f, 0.8f);
    w.end();
    for (int fin = 0; fin < 4; ++fin) {
        w.begin("Rotate", "rott");
        w.keyword("Y", 1);
        w.f32(1.5707964f);
        w.end();
        w.begin("Container", "cntr");
        w.begin("Box", "box ");
        floats(w, {0, 0.7f, 0, 0, 0, 0.05f, 0.5f, 0, 0, 0.3f, -0.1f, -0.025f});
        w.end();
        colour(w, 0.9f, 0.2f, 0.15f);
        w.end();
    }
    w.begin("EndGroup", "endg");
    w.end();
}

}  // namespace vask::models
