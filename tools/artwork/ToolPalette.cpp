#include "tools/artwork/ToolPalette.h"

#include <cmath>

namespace artwork {
namespace {

constexpr float kPi = 3.14159265f;

// Button faces.
const Color kBorder = hex(kBorderColor);
const Color kFace = hex(0xD8D6D0);
const Color kHighlight = hex(0xFFFFFF);
const Color kShadow = hex(0x8A8883);
const Color kPressedFace = hex(0xBCC9DA);
const Color kPressedShadow = hex(0x6F7D8F);
const Color kPressedHighlight = hex(0xE8EEF5);
const Color kDisabledDark = hex(0x8E8C87);
const Color kDisabledLight = hex(0xC2C0BA);

// Glyph colours: the camera's tools blue, the object's orange, the light's amber.
const Color kCamera = hex(0x1F5FAF);
const Color kCameraDark = hex(0x123A6B);
const Color kCameraLens = hex(0x7FB2E8);
const Color kObjectTop = hex(0xF3A968);
const Color kObjectLeft = hex(0xD2691E);
const Color kObjectRight = hex(0x9C4A14);
const Color kObjectEdge = hex(0x4E2408);
const Color kObject = hex(0xC0561A);
const Color kLight = hex(0xB57C00);
const Color kLamp = hex(0x454A55);
const Color kLampRim = hex(0xE6B422);
const Color kBeam = hex(0xFFD84A);
const Color kBulb = hex(0xF2B31E);
const Color kBulbCore = hex(0xFFF3B0);
const Color kTarget = hex(0xC0302A);
const Color kSphere = hex(0x7D838C);
const Color kSphereLight = hex(0xD3D7DD);

constexpr float kCx = 13.0f;  // the cell's centre
constexpr float kCy = 11.0f;

// An ellipse about (cx, cy) with radii rx, ry, turned by `tilt`.
struct Ellipse {
    float cx, cy, rx, ry, tilt = 0.0f;

    Pt turn(Pt v) const {
        const float c = std::cos(tilt), s = std::sin(tilt);
        return {v.x * c - v.y * s, v.x * s + v.y * c};
    }
    Pt at(float angle) const {
        const Pt v = turn({rx * std::cos(angle), ry * std::sin(angle)});
        return {cx + v.x, cy + v.y};
    }
    // d/dθ of the point; with y downwards a growing θ turns clockwise.
    Pt tangent(float angle, bool clockwise) const {
        const Pt t = turn({-rx * std::sin(angle), ry * std::cos(angle)});
        return clockwise ? t : Pt{-t.x, -t.y};
    }
};

// A stroke along an ellipse from `from` to `to` (radians, screen angles) with
// an arrowhead at `to`, pointing onwards.
void curvedArrow(Layer& g, const Ellipse& e, float from, float to, Color c, float width = 1.6f,
                 float head = 3.6f) {
    const bool clockwise = to > from;
    const float headAngle = head / std::max(e.rx, e.ry);  // leave room for the head
    const float stop = clockwise ? to - headAngle * 0.6f : to + headAngle * 0.6f;
    g.paint(arc(e.cx, e.cy, e.rx, e.ry, std::min(from, stop), std::max(from, stop), width, e.tilt),
            c);
    g.paint(arrowhead(e.at(to), e.tangent(to, clockwise), head, head * 0.8f), c);
}

void straightArrow(Layer& g, Pt from, Pt tip, Color c, float width = 1.7f, float head = 3.4f) {
    const Pt d{tip.x - from.x, tip.y - from.y};
    const float n = std::hypot(d.x, d.y);
    const Pt stemEnd{tip.x - d.x / n * (head - 0.5f), tip.y - d.y / n * (head - 0.5f)};
    g.paint(segment(from, stemEnd, width), c);
    g.paint(arrowhead(tip, d, head, head * 0.8f), c);
}

// Arrowheads on four sides of the centre, with short stems: "move".
void fourWayHeads(Layer& g, Color c, float reachX, float reachY, float stem) {
    straightArrow(g, {kCx - reachX + stem, kCy}, {kCx - reachX, kCy}, c, 1.5f, 3.0f);
    straightArrow(g, {kCx + reachX - stem, kCy}, {kCx + reachX, kCy}, c, 1.5f, 3.0f);
    straightArrow(g, {kCx, kCy - reachY + stem}, {kCx, kCy - reachY}, c, 1.5f, 3.0f);
    straightArrow(g, {kCx, kCy + reachY - stem}, {kCx, kCy + reachY}, c, 1.5f, 3.0f);
}

// An isometric cube with its centre at (cx, cy); `s` is half its height.
void cube(Layer& g, float cx, float cy, float s) {
    const float w = 0.87f * s;
    const Pt top{cx, cy - s}, left{cx - w, cy - s / 2}, right{cx + w, cy - s / 2}, mid{cx, cy};
    const Pt lowLeft{cx - w, cy + s / 2}, lowRight{cx + w, cy + s / 2}, bottom{cx, cy + s};
    g.paint(polygon({top, right, mid, left}), kObjectTop);
    g.paint(polygon({left, mid, bottom, lowLeft}), kObjectLeft);
    g.paint(polygon({mid, right, lowRight, bottom}), kObjectRight);
    const float e = 0.75f;
    for (auto [a, b] : {std::pair{top, right},
                        {right, lowRight},
                        {lowRight, bottom},
                        {bottom, lowLeft},
                        {lowLeft, left},
                        {left, top},
                        {left, mid},
                        {mid, right},
                        {mid, bottom}}) {
        g.paint(segment(a, b, e), kObjectEdge);
    }
}

// A camera seen from the side, looking right; (x, y) is the body's top-left.
void camera(Layer& g, float x, float y, float w, float h) {
    g.paint(rect(x, y, w, h), kCameraDark);
    g.paint(rect(x + 0.8f, y + 0.8f, w - 1.6f, h - 1.6f), kCamera);
    const float lens = h * 0.45f;
    g.paint(polygon({{x + w - 0.2f, y + h / 2 - lens / 2},
                     {x + w + h * 0.55f, y - 0.3f},
                     {x + w + h * 0.55f, y + h + 0.3f},
                     {x + w - 0.2f, y + h / 2 + lens / 2}}),
            kCameraDark);
    g.paint(circle(x + w * 0.35f, y + h * 0.42f, h * 0.22f), kCameraLens);
}

// A spot lamp: its housing from `back` towards `dir`, and a beam of
// `beamLength` opening to `beamHalf`.
void spotLamp(Layer& g, Pt back, Pt dir, float length, float beamLength, float beamHalf,
              float scale = 1.0f) {
    const float n = std::hypot(dir.x, dir.y);
    const Pt d{dir.x / n, dir.y / n}, p{-d.y, d.x};
    const Pt front{back.x + d.x * length, back.y + d.y * length};
    const float backHalf = 1.3f * scale, frontHalf = 2.7f * scale;
    if (beamLength > 0) {
        const Pt end{front.x + d.x * beamLength, front.y + d.y * beamLength};
        g.paint(polygon({{front.x + p.x * frontHalf, front.y + p.y * frontHalf},
                         {end.x + p.x * beamHalf, end.y + p.y * beamHalf},
                         {end.x - p.x * beamHalf, end.y - p.y * beamHalf},
                         {front.x - p.x * frontHalf, front.y - p.y * frontHalf}}),
                kBeam, 0.75f);
    }
    g.paint(polygon({{back.x + p.x * backHalf, back.y + p.y * backHalf},
                     {front.x + p.x * frontHalf, front.y + p.y * frontHalf},
                     {front.x - p.x * frontHalf, front.y - p.y * frontHalf},
                     {back.x - p.x * backHalf, back.y - p.y * backHalf}}),
            kLamp);
    g.paint(segment({front.x + p.x * frontHalf, front.y + p.y * frontHalf},
                    {front.x - p.x * frontHalf, front.y - p.y * frontHalf}, 1.1f * scale),
            kLampRim);
}

void bulb(Layer& g, float cx, float cy, float r) {
    g.paint(circle(cx, cy, r * 1.7f), kBeam, 0.45f);
    g.paint(circle(cx, cy, r), kLight);
    g.paint(circle(cx, cy, r - 0.8f), kBulb);
    g.paint(circle(cx - r * 0.3f, cy - r * 0.3f, r * 0.4f), kBulbCore);
}

// A counter-clockwise "back to the start" arrow round the cell's centre.
void resetArrow(Layer& g, Color c) {
    curvedArrow(g, {kCx, kCy, 7.6f, 7.6f}, -kPi / 2 + 2 * kPi - 0.35f, -kPi / 2 + 0.75f, c, 1.6f,
                3.8f);
}

void drawGlyph(Layer& g, Glyph glyph) {
    switch (glyph) {
        case Glyph::OrbitCamera: {
            // A camera path round a ball, tilted so that it reads as a
            // path in depth: its far side faint behind the ball.
            const Ellipse path{kCx, 11.5f, 9.8f, 3.6f, -0.32f};
            g.paint(arc(path.cx, path.cy, path.rx, path.ry, kPi, 2 * kPi, 1.3f, path.tilt), kCamera,
                    0.45f);
            g.paint(circle(kCx, 11.0f, 4.6f), kSphere);
            g.paint(circle(kCx - 1.4f, 9.6f, 1.8f), kSphereLight);
            curvedArrow(g, path, kPi - 0.05f, 0.3f, kCamera, 1.7f, 3.6f);
            break;
        }
        case Glyph::PanCamera:
            straightArrow(g, {kCx, kCy}, {kCx - 9.0f, kCy}, kCamera);
            straightArrow(g, {kCx, kCy}, {kCx + 9.0f, kCy}, kCamera);
            straightArrow(g, {kCx, kCy}, {kCx, kCy - 7.8f}, kCamera);
            straightArrow(g, {kCx, kCy}, {kCx, kCy + 7.8f}, kCamera);
            break;
        case Glyph::DollyCamera:
            camera(g, 6.0f, 10.5f, 9.0f, 6.5f);
            straightArrow(g, {12.0f, 5.5f}, {4.0f, 5.5f}, kCamera, 1.5f, 3.2f);
            straightArrow(g, {12.0f, 5.5f}, {22.0f, 5.5f}, kCamera, 1.5f, 3.2f);
            break;
        case Glyph::ResetCamera:
            resetArrow(g, kCamera);
            camera(g, 9.2f, 9.0f, 5.0f, 4.0f);
            break;
        case Glyph::RotateObject:
            cube(g, kCx, 13.2f, 5.0f);
            curvedArrow(g, {kCx, 11.5f, 9.4f, 7.6f}, kPi + 0.45f, 2 * kPi - 0.2f, kObject, 1.6f,
                        3.6f);
            break;
        case Glyph::MoveObject:
            cube(g, kCx, kCy, 4.3f);
            fourWayHeads(g, kObject, 9.6f, 8.2f, 2.2f);
            break;
        case Glyph::ScaleObject:
            g.paint(subtract(rect(9.0f, 3.0f, 13.0f, 13.0f), rect(10.0f, 4.0f, 11.0f, 11.0f)),
                    kObject, 0.8f);
            cube(g, 9.0f, 14.0f, 4.3f);
            straightArrow(g, {12.0f, 10.5f}, {19.5f, 5.5f}, kObject, 1.5f, 3.4f);
            break;
        case Glyph::ResetObject:
            resetArrow(g, kObject);
            cube(g, kCx, kCy, 3.2f);
            break;
        case Glyph::AimSpotLight: {
            const Pt target{17.5f, 14.0f};
            g.paint(circle(target.x, target.y, 4.6f), kTarget);
            g.paint(circle(target.x, target.y, 3.4f), kFace);
            g.paint(circle(target.x, target.y, 1.6f), kTarget);
            spotLamp(g, {4.0f, 3.5f}, {target.x - 4.0f, target.y - 3.5f}, 5.0f, 0.0f, 0.0f);
            g.paint(segment({9.2f, 7.6f}, {14.5f, 11.7f}, 0.9f), kLight);
            break;
        }
        case Glyph::MoveSpotLight:
            spotLamp(g, {kCx, 5.5f}, {0.0f, 1.0f}, 4.2f, 5.5f, 4.6f, 0.9f);
            fourWayHeads(g, kLight, 9.6f, 8.4f, 2.0f);
            break;
        case Glyph::ResetSpotLight:
            resetArrow(g, kLight);
            spotLamp(g, {kCx, 7.2f}, {0.0f, 1.0f}, 3.3f, 3.0f, 3.0f, 0.75f);
            break;
        case Glyph::MovePointLight:
            bulb(g, kCx, kCy, 3.4f);
            fourWayHeads(g, kLight, 9.6f, 8.4f, 2.0f);
            break;
        case Glyph::ResetPointLight:
            resetArrow(g, kLight);
            bulb(g, kCx, kCy, 2.5f);
            break;
        case Glyph::None:
            break;
    }
}

enum class Look { Normal, Pressed, Disabled };

Layer drawCell(Glyph glyph, Look look) {
    Layer cell(kCellWidth, kCellHeight);
    cell.clear(kBorder);
    const bool pressed = look == Look::Pressed;
    const Color face = pressed ? kPressedFace : kFace;
    const Color topLeft = pressed ? kPressedShadow : kHighlight;
    const Color bottomRight = pressed ? kPressedHighlight : kShadow;
    cell.paint(rect(1, 1, kCellWidth - 2, kCellHeight - 2), face);
    cell.paint(rect(1, kCellHeight - 2, kCellWidth - 2, 1), bottomRight);
    cell.paint(rect(kCellWidth - 2, 1, 1, kCellHeight - 2), bottomRight);
    cell.paint(rect(1, 1, kCellWidth - 3, 1), topLeft);
    cell.paint(rect(1, 1, 1, kCellHeight - 3), topLeft);

    Layer icon(kCellWidth, kCellHeight);
    drawGlyph(icon, glyph);
    switch (look) {
        case Look::Normal:
            cell.composite(icon, 0, 0);
            break;
        case Look::Pressed:  // pushed in: one pixel down and right
            cell.composite(icon, 1, 1);
            break;
        case Look::Disabled:  // greyed and embossed
            cell.compositeSilhouette(icon, 1, 1, kHighlight, 0.9f);
            cell.compositeGrey(icon, 0, 0, kDisabledDark, kDisabledLight);
            break;
    }
    // Neighbouring cells share the border line, so it must be the same in
    // every cell whatever the icon reached.
    cell.paint(
        subtract(rect(0, 0, kCellWidth, kCellHeight), rect(1, 1, kCellWidth - 2, kCellHeight - 2)),
        kBorder);
    return cell;
}

}  // namespace

Layer drawToolPalette(const std::array<Glyph, kButtons>& glyphs) {
    Layer palette(kPaletteWidth, kPaletteHeight);
    palette.clear(kBorder);
    for (int look = 0; look < kLooks; ++look) {
        for (int i = 0; i < kButtons; ++i) {
            const Layer cell =
                drawCell(glyphs[static_cast<std::size_t>(i)], static_cast<Look>(look));
            palette.composite(cell, i * (kCellWidth - kOverlap), look * (kCellHeight - kOverlap));
        }
    }
    return palette;
}

}  // namespace artwork
