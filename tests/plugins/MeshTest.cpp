// The Mesh Object through its real entry point: the relief grid made from a
// height-field layer (layout, heights, normals), when it is refilled and when
// rebuilt, the layer texture, colour and placement, malformed layers, and
// every failure path with the frame after it.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "PluginTestSupport.h"
#include "host/LayerSource.h"
#include "host/World.h"
#include "platform/os/LocalHeap.h"
#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DSet.h"
#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/QD3DStorage.h"
#include "platform/q3d/QD3DTransform.h"
#include "plugins/shapemesh/GridNormals.h"
#include "plugins/shapemesh/ObjectRecord.h"
#include "shell/ParamTables.h"

namespace vask::test {
namespace {

using namespace shapemesh;

constexpr PF_Fixed F(double v) { return static_cast<PF_Fixed>(v * 65536.0); }
constexpr int32_t kHeightLayer = 1;
constexpr int32_t kTextureLayer = 2;
constexpr PF_Pixel kOpaqueRed{255, 255, 0, 0};

// Owns one reference to a scene object; movable and assignable.
class Ref {
 public:
  Ref() = default;
  explicit Ref(TQ3Object o) : o_(o) {}
  Ref(Ref&& other) noexcept : o_(std::exchange(other.o_, nullptr)) {}
  Ref& operator=(Ref&& other) noexcept {
    std::swap(o_, other.o_);
    return *this;
  }
  ~Ref() {
    if (o_) Q3Object_Dispose(o_);
  }
  TQ3Object get() const { return o_; }

 private:
  TQ3Object o_ = nullptr;
};

// y of a height value, as the grid computes it.
float heightY(int v) { return static_cast<float>(v) * (1.0f / 255.0f) - 0.5f; }

std::vector<Ref> membersOf(TQ3GroupObject group) {
  std::vector<Ref> out;
  TQ3GroupPosition pos = nullptr;
  for (Q3Group_GetFirstPosition(group, &pos); pos; Q3Group_GetNextPosition(group, &pos)) {
    TQ3Object o = nullptr;
    Q3Group_GetPositionObject(group, pos, &o);
    out.emplace_back(o);
  }
  return out;
}

int countOfType(TQ3GroupObject group, TQ3ObjectType type) {
  int n = 0;
  for (auto& m : membersOf(group)) n += Q3Object_IsType(m.get(), type) ? 1 : 0;
  return n;
}

// A new reference to the first member of `type`, or an empty Ref.
Ref memberOfType(TQ3GroupObject group, TQ3ObjectType type) {
  for (auto& m : membersOf(group))
    if (Q3Object_IsType(m.get(), type)) return Ref(Q3Shared_GetReference(m.get()));
  return Ref();
}

struct GridVertex {
  TQ3Point3D point{};
  bool hasSet = false, hasNormal = false, hasUV = false;
  TQ3Vector3D normal{};
  TQ3Param2D uv{};
};

struct GridSnapshot {
  TQ3Uns32 rows = 0, columns = 0;
  std::vector<GridVertex> vertices;
  const GridVertex& at(TQ3Uns32 r, TQ3Uns32 c) const { return vertices.at(r * columns + c); }
};

GridSnapshot snapshot(TQ3GeometryObject grid) {
  GridSnapshot s;
  TQ3TriGridData d{};
  if (Q3TriGrid_GetData(grid, &d) != kQ3Success) return s;
  s.rows = d.numRows;
  s.columns = d.numColumns;
  s.vertices.resize(std::size_t{d.numRows} * d.numColumns);
  for (std::size_t i = 0; i < s.vertices.size(); ++i) {
    GridVertex& v = s.vertices[i];
    v.point = d.vertices[i].point;
    if (TQ3AttributeSet set = d.vertices[i].attributeSet) {
      v.hasSet = true;
      v.hasNormal = Q3AttributeSet_Get(set, kQ3AttributeTypeNormal, &v.normal) == kQ3Success;
      v.hasUV = Q3AttributeSet_Get(set, kQ3AttributeTypeSurfaceUV, &v.uv) == kQ3Success;
    }
  }
  Q3TriGrid_EmptyData(&d);
  return s;
}

// What a texture shader lays over the grid.
struct TextureView {
  Ref texture;
  TQ3StoragePixmap pixmap{};
  std::vector<unsigned char> bytes;  // the storage's valid bytes
  unsigned char* buffer = nullptr;   // where the storage reads them
};

TextureView textureOf(TQ3ShaderObject shader) {
  TextureView view;
  TQ3TextureObject texture = nullptr;
  EXPECT_EQ(Q3TextureShader_GetTexture(shader, &texture), kQ3Success);
  view.texture = Ref(texture);
  EXPECT_EQ(Q3PixmapTexture_GetPixmap(texture, &view.pixmap), kQ3Success);
  Ref storage(view.pixmap.image);
  TQ3Uns32 valid = 0;
  EXPECT_EQ(Q3MemoryStorage_GetBuffer(storage.get(), &view.buffer, &valid, nullptr), kQ3Success);
  if (view.buffer) view.bytes.assign(view.buffer, view.buffer + valid);
  return view;
}

std::vector<unsigned char> bytesAt(const std::vector<unsigned char>& bytes, std::size_t at, std::size_t n) {
  return {bytes.begin() + at, bytes.begin() + at + n};
}

host::World filled(int w, int h, PF_Pixel p, int padding = 0) {
  host::World world(w, h, padding);
  world.fill(p);
  return world;
}

class MeshTest : public PluginTest {
 protected:
  void TearDown() override {
    os::testing::failAllocations(0, 0);
    PluginTest::TearDown();
  }

  host::Instance& makeMesh() { return makeMesh(load("shapemesh")); }
  host::Instance& makeMesh(host::Effect& effect) {
    host::Instance& i = apply(effect);
    i.setLayerSource(layers_);
    i.setLayerParam(kHeightField, kHeightLayer);
    return i;
  }

  void setHeights(host::World w) { layers_->set(kHeightLayer, std::move(w)); }
  void setTexture(host::Instance& i, host::World w) {
    layers_->set(kTextureLayer, std::move(w));
    i.setLayerParam(kTexture, kTextureLayer);
  }

  // One frame: `look` sees the mesh's published object group between frame
  // setup and setdown.
  template <class Look>
  void frame(host::Instance& i, Look look) {
    auto r = i.frameSetup();
    EXPECT_TRUE(r.ok()) << r;
    EXPECT_TRUE(r.out.out_flags & PF_OutFlag_NOP_RENDER);
    {
      auto shapes = membersOf(sceneBlock().displayGroup);
      EXPECT_EQ(shapes.size(), 1u);
      if (shapes.size() == 1) {
        EXPECT_TRUE(Q3Object_IsType(shapes[0].get(), kQ3DisplayGroupTypeOrdered));
        look(shapes[0].get());
      }
    }
    EXPECT_TRUE(i.frameSetdown().ok());
  }

  // The grid of one frame: a snapshot (empty without a grid), or a reference.
  GridSnapshot gridOfFrame(host::Instance& i) {
    GridSnapshot s;
    frame(i, [&](TQ3Object group) {
      Ref grid = memberOfType(group, kQ3GeometryTypeTriGrid);
      if (grid.get()) s = snapshot(grid.get());
    });
    return s;
  }
  Ref gridRefOfFrame(host::Instance& i) {
    Ref grid;
    frame(i, [&](TQ3Object group) { grid = memberOfType(group, kQ3GeometryTypeTriGrid); });
    return grid;
  }
  TextureView textureOfFrame(host::Instance& i) {
    TextureView view;
    frame(i, [&](TQ3Object group) {
      Ref shader = memberOfType(group, kQ3SurfaceShaderTypeTexture);
      ASSERT_NE(shader.get(), nullptr);
      view = textureOf(shader.get());
    });
    return view;
  }

  static const ObjectSequenceRecord& record(const host::Instance& i) {
    return *reinterpret_cast<const ObjectSequenceRecord*>(host::handles::bytes(i.sequenceData()).data());
  }

  std::shared_ptr<host::LayerTable> layers_ = std::make_shared<host::LayerTable>();
};

TEST_F(MeshTest, TwoByTwoLayerMakesFourCornersWithTheBottomRowInFront) {
  host::Instance& mesh = makeMesh();
  mesh.param(kHeightFrom).u.pd.value = 5;  // Alpha
  host::World w(2, 2);
  w.at(0, 0).alpha = 10;  // top row
  w.at(1, 0).alpha = 20;
  w.at(0, 1).alpha = 30;  // bottom row
  w.at(1, 1).alpha = 40;
  setHeights(w);
  frame(mesh, [](TQ3Object group) {
    EXPECT_EQ(countOfType(group, kQ3IlluminationTypePhong), 2) << "the group's and the surface's";
    EXPECT_EQ(countOfType(group, kQ3GeometryTypeTriGrid), 1);
    EXPECT_EQ(countOfType(group, kQ3TransformTypeMatrix), 1);
    EXPECT_EQ(countOfType(group, kQ3SetTypeAttribute), 1);
  });
  const GridSnapshot g = gridOfFrame(mesh);
  ASSERT_EQ(g.rows, 2u);
  ASSERT_EQ(g.columns, 2u);
  struct Corner {
    TQ3Uns32 r, c;
    float x, z;
    int v;
  } corners[] = {{0, 0, -0.5f, 0.5f, 30}, {0, 1, 0.5f, 0.5f, 40}, {1, 0, -0.5f, -0.5f, 10}, {1, 1, 0.5f, -0.5f, 20}};
  for (const Corner& k : corners) {
    const GridVertex& v = g.at(k.r, k.c);
    EXPECT_EQ(v.point.x, k.x) << k.r << "," << k.c;
    EXPECT_EQ(v.point.z, k.z) << k.r << "," << k.c;
    EXPECT_FLOAT_EQ(v.point.y, heightY(k.v)) << k.r << "," << k.c;
    EXPECT_FALSE(v.hasSet) << "no sets without Smooth and texture";
  }

  // A wider grid spans the same square, one column per pixel.
  setHeights(host::World(4, 3));
  const GridSnapshot wide = gridOfFrame(mesh);
  ASSERT_EQ(wide.rows, 3u);
  ASSERT_EQ(wide.columns, 4u);
  for (TQ3Uns32 r = 0; r < 3; ++r)
    for (TQ3Uns32 c = 0; c < 4; ++c) {
      EXPECT_NEAR(wide.at(r, c).point.x, -0.5 + c / 3.0, 1e-6) << r << "," << c;
      EXPECT_NEAR(wide.at(r, c).point.z, 0.5 - r / 2.0, 1e-6) << r << "," << c;
    }
}

TEST_F(MeshTest, HeightComesFromTheChosenChannelWeightedByAlpha) {
  host::Instance& mesh = makeMesh();
  struct Case {
    PF_Pixel pixel;  // alpha, red, green, blue
    int mode;        // 1 Luminance … 5 Alpha
    bool invert;
    int v;
  };
  std::vector<Case> cases = {
      // Opaque red: 30 × 255 div 100 in Luminance.
      {kOpaqueRed, 1, false, 76}, {kOpaqueRed, 2, false, 255}, {kOpaqueRed, 3, false, 0},
      {kOpaqueRed, 4, false, 0}, {kOpaqueRed, 1, true, 179},
      {{255, 10, 20, 30}, 1, false, 18}, {{255, 1, 2, 3}, 3, false, 2}, {{255, 1, 2, 3}, 4, false, 3},
      // Alpha ignores the colour.
      {{128, 0, 0, 0}, 5, false, 128}, {{128, 255, 255, 255}, 5, false, 128},
      // Alpha weighting is alpha × (1/255) × value in double, truncated:
      // for alpha 33 of 255 that lands just below 33.
      {{33, 255, 0, 0}, 2, false, 32}, {{128, 0, 200, 0}, 3, false, 100},
  };
  // Transparent: the lowest height in every mode (the highest inverted);
  // opaque white the highest.
  for (int mode = 1; mode <= 5; ++mode)
    for (bool invert : {false, true}) {
      cases.push_back({{0, 255, 255, 255}, mode, invert, invert ? 255 : 0});
      cases.push_back({{255, 255, 255, 255}, mode, invert, invert ? 0 : 255});
    }
  for (const Case& k : cases) {
    setHeights(filled(2, 2, k.pixel));
    mesh.param(kHeightFrom).u.pd.value = k.mode;
    mesh.param(kInvert).u.bd.value = k.invert;
    const GridSnapshot g = gridOfFrame(mesh);
    ASSERT_EQ(g.vertices.size(), 4u);
    for (const GridVertex& v : g.vertices)
      EXPECT_FLOAT_EQ(v.point.y, heightY(k.v)) << k.pixel << " mode " << k.mode << " invert " << k.invert;
  }

  // Every alpha against every channel value, in rows wide enough for the
  // vectorised path: image row a has alpha a, column x the values below.
  host::World all(256, 256);
  auto rgb = [](int x) { return PF_Pixel{0, static_cast<uint8_t>(x), static_cast<uint8_t>(x * 7), static_cast<uint8_t>(x * 13)}; };
  for (int a = 0; a < 256; ++a)
    for (int x = 0; x < 256; ++x) {
      PF_Pixel p = rgb(x);
      p.alpha = static_cast<uint8_t>(a);
      all.at(x, a) = p;
    }
  setHeights(all);
  for (int mode = 1; mode <= 5; ++mode)
    for (bool invert : {false, true}) {
      mesh.param(kHeightFrom).u.pd.value = mode;
      mesh.param(kInvert).u.bd.value = invert;
      const GridSnapshot g = gridOfFrame(mesh);
      ASSERT_EQ(g.vertices.size(), 65536u);
      int wrong = 0;
      for (int a = 0; a < 256; ++a)
        for (int x = 0; x < 256; ++x) {
          const PF_Pixel p = rgb(x);
          const int channel = mode == 1 ? (30 * p.red + 59 * p.green + 11 * p.blue) / 100
                              : mode == 2 ? p.red : mode == 3 ? p.green : p.blue;
          int v = mode == 5 ? a : static_cast<int>(a * (1.0 / 255.0) * channel);
          if (invert) v = 255 - v;
          // Image row a is vertex row 255 − a.
          wrong += g.at(static_cast<TQ3Uns32>(255 - a), static_cast<TQ3Uns32>(x)).point.y != heightY(v);
        }
      EXPECT_EQ(wrong, 0) << "mode " << mode << " invert " << invert;
    }
}

TEST_F(MeshTest, FlatLayerWithSmoothPointsEveryNormalUp) {
  host::Instance& mesh = makeMesh();
  mesh.param(kSmooth).u.bd.value = 1;
  // Small and large: the border normals of a large grid come from edges a
  // thousandth of a unit long, and must not count as degenerate.
  for (int side : {2, 5, 1100}) {
    setHeights(filled(side, side > 5 ? 1000 : side, PF_Pixel{255, 90, 90, 90}));
    const GridSnapshot g = gridOfFrame(mesh);
    ASSERT_FALSE(g.vertices.empty());
    for (std::size_t i = 0; i < g.vertices.size(); ++i) {
      const GridVertex& v = g.vertices[i];
      ASSERT_TRUE(v.hasNormal) << side << " vertex " << i;
      ASSERT_EQ(v.normal.x, 0.0f) << side << " vertex " << i;
      ASSERT_FLOAT_EQ(v.normal.y, 1.0f) << side << " vertex " << i;
      ASSERT_EQ(v.normal.z, 0.0f) << side << " vertex " << i;
      ASSERT_FALSE(v.hasUV) << side << " vertex " << i;
    }
  }
}

TEST_F(MeshTest, TiltedPlaneGivesTheAnalyticNormalAtEveryVertex) {
  host::Instance& mesh = makeMesh();
  mesh.param(kSmooth).u.bd.value = 1;
  mesh.param(kHeightFrom).u.pd.value = 5;
  constexpr int kColumns = 7, kRows = 5;  // interior columns: one block of four and one more
  host::World w(kColumns, kRows);
  for (int y = 0; y < kRows; ++y)
    for (int x = 0; x < kColumns; ++x) w.at(x, y).alpha = static_cast<uint8_t>(10 * x + 20 * y);
  setHeights(w);
  // y rises by 10/255 per column toward +X and by 20/255 per image row down
  // the image, which is toward +Z: a plane with these slopes.
  const double slopeX = 10.0 * (kColumns - 1) / 255.0;
  const double slopeZ = 20.0 * (kRows - 1) / 255.0;
  const double len = std::sqrt(slopeX * slopeX + 1 + slopeZ * slopeZ);
  const GridSnapshot g = gridOfFrame(mesh);
  ASSERT_EQ(g.vertices.size(), std::size_t{kColumns * kRows});
  for (TQ3Uns32 r = 0; r < kRows; ++r)
    for (TQ3Uns32 c = 0; c < kColumns; ++c) {
      const GridVertex& v = g.at(r, c);
      ASSERT_TRUE(v.hasNormal);
      EXPECT_NEAR(v.normal.x, -slopeX / len, 1e-5) << r << "," << c;
      EXPECT_NEAR(v.normal.y, 1 / len, 1e-5) << r << "," << c;
      EXPECT_NEAR(v.normal.z, -slopeZ / len, 1e-5) << r << "," << c;
    }

  // Reading the grid's data above made set objects of its values; the next
  // refill (the plane mirrored left to right) must reach them there.
  for (int y = 0; y < kRows; ++y)
    for (int x = 0; x < kColumns; ++x) w.at(x, y).alpha = static_cast<uint8_t>(10 * (kColumns - 1 - x) + 20 * y);
  setHeights(w);
  const GridVertex mirrored = gridOfFrame(mesh).at(2, 3);
  EXPECT_NEAR(mirrored.normal.x, slopeX / len, 1e-5);
  EXPECT_NEAR(mirrored.normal.z, -slopeZ / len, 1e-5);
}

TEST_F(MeshTest, GridIsRefilledInPlaceAndRebuiltOnlyWhenItMust) {
  host::Instance& mesh = makeMesh();
  setHeights(filled(3, 3, PF_Pixel{255, 0, 0, 0}));
  Ref first = gridRefOfFrame(mesh);
  ASSERT_NE(first.get(), nullptr);

  // Pixels, "Invert", "Height From" and the colour change heights, not the grid.
  setHeights(filled(3, 3, PF_Pixel{255, 255, 255, 255}));
  mesh.param(kInvert).u.bd.value = 1;
  mesh.param(kHeightFrom).u.pd.value = 2;
  mesh.param(kColor).u.cd.value = kOpaqueRed;
  {
    Ref same = gridRefOfFrame(mesh);
    EXPECT_EQ(same.get(), first.get());
    EXPECT_FLOAT_EQ(snapshot(same.get()).at(1, 1).point.y, -0.5f);
  }

  // Holding the old grids keeps their addresses from being reused.
  setHeights(filled(4, 3, PF_Pixel{255, 255, 255, 255}));
  Ref resized = gridRefOfFrame(mesh);
  EXPECT_NE(resized.get(), first.get()) << "resized";
  EXPECT_EQ(snapshot(resized.get()).columns, 4u);

  mesh.param(kSmooth).u.bd.value = 1;
  Ref smooth = gridRefOfFrame(mesh);
  EXPECT_NE(smooth.get(), resized.get()) << "Smooth on";
  EXPECT_TRUE(snapshot(smooth.get()).at(0, 0).hasNormal);

  setTexture(mesh, filled(2, 2, kOpaqueRed));
  Ref textured = gridRefOfFrame(mesh);
  EXPECT_NE(textured.get(), smooth.get()) << "texture added";
  {
    Ref again = gridRefOfFrame(mesh);
    EXPECT_EQ(again.get(), textured.get()) << "texture kept";
  }

  mesh.setLayerParam(kTexture, 0);
  Ref untextured = gridRefOfFrame(mesh);
  EXPECT_NE(untextured.get(), textured.get()) << "texture removed";
  EXPECT_FALSE(snapshot(untextured.get()).at(0, 0).hasUV);

  mesh.param(kSmooth).u.bd.value = 0;
  Ref plain = gridRefOfFrame(mesh);
  EXPECT_NE(plain.get(), untextured.get()) << "Smooth off";
  EXPECT_FALSE(snapshot(plain.get()).at(0, 0).hasSet);
}

// A layer of varied pixels: hills and a hash, so that heights, and the
// normals made of them, differ from vertex to vertex.
host::World varied(int w, int h, uint32_t seed) {
  host::World world(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t hash = (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u) ^ seed;
      const auto hill = static_cast<uint8_t>(127.0 + 120.0 * std::sin(x * 0.05 + seed) * std::cos(y * 0.07));
      world.at(x, y) = PF_Pixel{static_cast<uint8_t>(200 + hash % 56), hill, static_cast<uint8_t>(hash >> 8),
                                static_cast<uint8_t>(hash >> 16)};
    }
  return world;
}

bool sameBits(const GridSnapshot& a, const GridSnapshot& b) {
  if (a.rows != b.rows || a.columns != b.columns || a.vertices.size() != b.vertices.size()) return false;
  for (std::size_t i = 0; i < a.vertices.size(); ++i) {
    const GridVertex& u = a.vertices[i];
    const GridVertex& v = b.vertices[i];
    if (std::memcmp(&u.point, &v.point, sizeof u.point) != 0 || u.hasNormal != v.hasNormal ||
        u.hasUV != v.hasUV || std::memcmp(&u.normal, &v.normal, sizeof u.normal) != 0 ||
        std::memcmp(&u.uv, &v.uv, sizeof u.uv) != 0)
      return false;
  }
  return true;
}

// The interior normals are computed eight, four and one at a time: each
// must be bit for bit Newell's plane of the grid's own points.
TEST_F(MeshTest, EveryInteriorNormalIsNewellsPlaneOfItsNeighbours) {
  host::Instance& mesh = makeMesh();
  mesh.param(kSmooth).u.bd.value = 1;
  constexpr int kColumns = 2 + 16 + 8 + 4 + 3, kRows = 4;
  setHeights(varied(kColumns, kRows, 5));
  const GridSnapshot g = gridOfFrame(mesh);
  ASSERT_EQ(g.vertices.size(), std::size_t{kColumns * kRows});
  auto at = [&](TQ3Uns32 r, TQ3Uns32 c) {
    const TQ3Point3D& p = g.at(r, c).point;
    return Vec3{p.x, p.y, p.z};
  };
  int wrong = 0;
  for (TQ3Uns32 r = 1; r + 1 < kRows; ++r)
    for (TQ3Uns32 c = 1; c + 1 < kColumns; ++c) {
      const Vec3 n = gridnormals::faceUp(gridnormals::newellPlane(at(r, c - 1), at(r + 1, c), at(r, c + 1), at(r - 1, c)));
      const TQ3Vector3D expected{n.x, n.y, n.z};
      wrong += std::memcmp(&expected, &g.at(r, c).normal, sizeof expected) != 0;
    }
  EXPECT_EQ(wrong, 0);
}

// Sets VASK_RENDER_THREADS for a scope.
class ThreadsVariable {
 public:
  explicit ThreadsVariable(const char* value) { setenv("VASK_RENDER_THREADS", value, 1); }
  ~ThreadsVariable() { unsetenv("VASK_RENDER_THREADS"); }
};

// A refill goes its own way (row by row into the grid, in bands of rows on
// several threads for a large grid); what it leaves must be, bit for bit,
// what a fresh build of the same pixels makes.
TEST_F(MeshTest, RefillLeavesWhatABuildMakesOnAnyNumberOfThreads) {
  constexpr int kW = 640, kH = 480;  // large enough to be split into bands
  for (const char* threads : {"1", "2", "3"}) {
    SCOPED_TRACE(threads);
    ThreadsVariable variable(threads);
    host::Instance& refilled = makeMesh();
    refilled.param(kSmooth).u.bd.value = 1;
    refilled.param(kHeightFrom).u.pd.value = 2;  // red: the hash varies it most
    setTexture(refilled, filled(2, 2, kOpaqueRed));
    setHeights(varied(kW, kH, 1));
    Ref grid = gridRefOfFrame(refilled);
    setHeights(varied(kW, kH, 2));
    const GridSnapshot after = gridOfFrame(refilled);
    EXPECT_EQ(gridRefOfFrame(refilled).get(), grid.get()) << "refilled in place";

    host::Instance& built = makeMesh();
    built.param(kSmooth).u.bd.value = 1;
    built.param(kHeightFrom).u.pd.value = 2;
    setTexture(built, filled(2, 2, kOpaqueRed));
    const GridSnapshot fresh = gridOfFrame(built);
    ASSERT_EQ(fresh.vertices.size(), std::size_t{kW} * kH);
    EXPECT_TRUE(after.at(kH / 2, kW / 2).hasNormal && after.at(kH / 2, kW / 2).hasUV);
    EXPECT_TRUE(sameBits(after, fresh));
  }
}

TEST_F(MeshTest, ColourAndPlacementFollowTheParameters) {
  host::Instance& mesh = makeMesh();
  setHeights(filled(2, 2, kOpaqueRed));
  mesh.param(kColor).u.cd.value = PF_Pixel{0, 255, 128, 0};
  mesh.param(kLeftRight).u.ad.value = F(90);
  mesh.param(kXScale).u.fd.value = F(2);
  mesh.param(kYScale).u.fd.value = F(3);
  mesh.param(kZScale).u.fd.value = F(4);
  mesh.param(kXTranslation).u.fd.value = F(1);
  mesh.param(kYTranslation).u.fd.value = F(2);
  mesh.param(kZTranslation).u.fd.value = F(3);
  for (int n = 0; n < 2; ++n) {  // the build, then a refill
    frame(mesh, [n](TQ3Object group) {
      Ref attributes = memberOfType(group, kQ3SetTypeAttribute);
      TQ3ColorRGB diffuse{};
      ASSERT_EQ(Q3AttributeSet_Get(attributes.get(), kQ3AttributeTypeDiffuseColor, &diffuse), kQ3Success);
      EXPECT_FLOAT_EQ(diffuse.r, 1.0f);
      EXPECT_FLOAT_EQ(diffuse.g, 128.0f / 255.0f);
      EXPECT_FLOAT_EQ(diffuse.b, 0.0f);
      Ref transform = memberOfType(group, kQ3TransformTypeMatrix);
      TQ3Matrix4x4 m{};
      ASSERT_EQ(Q3MatrixTransform_Get(transform.get(), &m), kQ3Success);
      // (0, 0, 1) scaled to (0, 0, 4), turned 90° left to (4, 0, 0), moved by (1, 2, 3).
      const float p[4] = {0, 0, 1, 1}, expected[4] = {5, 2, 3, 1};
      for (int j = 0; j < 4; ++j) {
        float q = 0;
        for (int k = 0; k < 4; ++k) q += p[k] * m.value[k][j];
        EXPECT_NEAR(q, expected[j], 1e-5) << "frame " << n << " column " << j;
      }
    });
    mesh.param(kColor).u.cd.value = PF_Pixel{255, 255, 128, 0};  // alpha is not used
  }
}

TEST_F(MeshTest, TextureHoldsTheLayerPixelsByteReversedInAReusedBuffer) {
  host::Instance& mesh = makeMesh();
  setHeights(filled(2, 2, kOpaqueRed));
  // Rows of 3 pixels and 8 bytes of padding, with bytes to see in the padding.
  host::World tex(3, 2, 8);
  tex.at(0, 0) = kOpaqueRed;
  tex.at(1, 1) = PF_Pixel{0x11, 0x22, 0x33, 0x44};
  auto* base = reinterpret_cast<unsigned char*>(tex.view()->data);
  for (int i = 0; i < 8; ++i) base[12 + i] = static_cast<unsigned char>(i + 1);
  setTexture(mesh, tex);

  TextureView first = textureOfFrame(mesh);
  EXPECT_EQ(first.pixmap.width, 3u);
  EXPECT_EQ(first.pixmap.height, 2u);
  EXPECT_EQ(first.pixmap.rowBytes, 20u);
  EXPECT_EQ(first.pixmap.pixelSize, 32u);
  EXPECT_EQ(first.pixmap.pixelType, kQ3PixelTypeARGB32);
  EXPECT_EQ(first.pixmap.bitOrder, kQ3EndianLittle);
  EXPECT_EQ(first.pixmap.byteOrder, kQ3EndianLittle);
  ASSERT_EQ(first.bytes.size(), 40u);
  EXPECT_EQ(bytesAt(first.bytes, 0, 4), (std::vector<unsigned char>{0, 0, 255, 255}));
  EXPECT_EQ(bytesAt(first.bytes, 12, 8), (std::vector<unsigned char>{4, 3, 2, 1, 8, 7, 6, 5})) << "padding";
  EXPECT_EQ(bytesAt(first.bytes, 24, 4), (std::vector<unsigned char>{0x44, 0x33, 0x22, 0x11}));
  EXPECT_EQ(first.buffer, record(mesh).pixelBuffer);
  EXPECT_EQ(record(mesh).pixelBufferSize, 40u);

  // The grid carries the texture coordinates: the whole image once over it.
  const GridSnapshot g = gridOfFrame(mesh);
  for (TQ3Uns32 i = 0; i < 4; ++i) {
    const GridVertex& v = g.at(i / 2, i % 2);
    ASSERT_TRUE(v.hasUV);
    EXPECT_EQ(v.uv.u, static_cast<float>(i % 2));
    EXPECT_EQ(v.uv.v, static_cast<float>(i / 2));
    EXPECT_FALSE(v.hasNormal);
  }

  // Smaller: the same buffer and texture, a pixmap of the smaller image.
  setTexture(mesh, filled(2, 1, PF_Pixel{255, 1, 2, 3}));
  TextureView smaller = textureOfFrame(mesh);
  EXPECT_EQ(smaller.texture.get(), first.texture.get()) << "the texture is made once";
  EXPECT_EQ(smaller.buffer, first.buffer) << "the buffer is not shrunk";
  EXPECT_EQ(record(mesh).pixelBufferSize, 40u);
  EXPECT_EQ(smaller.pixmap.width, 2u);
  EXPECT_EQ(smaller.pixmap.height, 1u);
  EXPECT_EQ(smaller.pixmap.rowBytes, 8u);
  EXPECT_EQ(smaller.bytes, (std::vector<unsigned char>{3, 2, 1, 255, 3, 2, 1, 255}));

  // Larger, with rows 2 bytes longer than their pixels: a bigger buffer, and
  // every row's pixels whole at their own offset.
  host::World big(5, 4, 2);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) big.at(x, y) = PF_Pixel{255, static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7};
  setTexture(mesh, big);
  TextureView larger = textureOfFrame(mesh);
  EXPECT_EQ(larger.pixmap.rowBytes, 22u);
  EXPECT_EQ(record(mesh).pixelBufferSize, 88u);
  EXPECT_EQ(larger.buffer, record(mesh).pixelBuffer);
  ASSERT_EQ(larger.bytes.size(), 88u);
  for (unsigned char y = 0; y < 4; ++y)
    for (unsigned char x = 0; x < 5; ++x)
      EXPECT_EQ(bytesAt(larger.bytes, y * 22 + x * 4, 4), (std::vector<unsigned char>{7, y, x, 255})) << +x << "," << +y;
}

TEST_F(MeshTest, ThinOrEmptyHeightLayersDrawNothingUntilTheyCan) {
  host::Instance& mesh = makeMesh();
  mesh.param(kSmooth).u.bd.value = 1;
  setTexture(mesh, filled(2, 2, kOpaqueRed));
  struct Size {
    int w, h;
  } thin[] = {{1, 5}, {5, 1}, {1, 1}};
  for (const Size& s : thin) {
    setHeights(filled(s.w, s.h, kOpaqueRed));
    EXPECT_EQ(gridRefOfFrame(mesh).get(), nullptr) << s.w << "x" << s.h;
  }
  // A layer that reports a size but has no pixels, then gains them at the
  // same size: the relief appears.
  auto empty = std::make_shared<host::World>(3, 3);
  empty->view()->data = nullptr;
  layers_->set(kHeightLayer, empty);
  EXPECT_EQ(gridRefOfFrame(mesh).get(), nullptr);
  setHeights(filled(3, 3, kOpaqueRed));
  const GridSnapshot g = gridOfFrame(mesh);
  EXPECT_EQ(g.vertices.size(), 9u);
  mesh.setLayerParam(kHeightField, 0);
  EXPECT_EQ(gridRefOfFrame(mesh).get(), nullptr) << "no layer at all";
}

TEST_F(MeshTest, MalformedLayersAndChoicesAreRefused) {
  host::Instance& mesh = makeMesh();
  struct Bad {
    const char* what;
    int32_t PF_LayerDef::*field;
    int32_t value;
  } bad[] = {{"rows shorter than their pixels", &PF_LayerDef::rowbytes, 15},
             {"negative rowbytes", &PF_LayerDef::rowbytes, -16},
             {"negative width", &PF_LayerDef::width, -4},
             {"negative height", &PF_LayerDef::height, -4}};
  for (int layer : {kHeightLayer, kTextureLayer}) {
    for (const Bad& b : bad) {
      setHeights(filled(4, 4, kOpaqueRed));
      mesh.setLayerParam(kTexture, 0);
      auto w = std::make_shared<host::World>(filled(4, 4, kOpaqueRed));
      w->view()->*b.field = b.value;
      layers_->set(layer, w);
      if (layer == kTextureLayer) mesh.setLayerParam(kTexture, kTextureLayer);
      auto r = mesh.frameSetup();
      EXPECT_EQ(r.err, PF_Err_BAD_CALLBACK_PARAM) << b.what << " in layer " << layer;
      EXPECT_EQ(r.message, "After Effects bad callback parameter.");
      ASSERT_TRUE(mesh.frameSetdown().ok());
    }
  }
  mesh.setLayerParam(kTexture, 0);
  setHeights(filled(4, 4, kOpaqueRed));
  for (int choice : {0, 6}) {
    mesh.param(kHeightFrom).u.pd.value = choice;
    EXPECT_EQ(mesh.frameSetup().err, PF_Err_BAD_CALLBACK_PARAM) << choice;
    ASSERT_TRUE(mesh.frameSetdown().ok());
  }
  mesh.param(kHeightFrom).u.pd.value = 1;
  EXPECT_EQ(gridOfFrame(mesh).vertices.size(), 16u) << "good values work again";
}

TEST_F(MeshTest, FailedGridOrTextureCallsAreRecoveredNextFrame) {
  struct Failure {
    const char* call;
    bool duringRefresh;  // else during the build
  } failures[] = {{"Q3TriGrid_NewBlank", false},   {"Q3TriGrid_GetVertexArrays", false},
                  {"Q3OrderedDisplayGroup_New", false}, {"Q3MemoryStorage_NewBuffer", false},
                  {"Q3PixmapTexture_New", false},  {"Q3TextureShader_New", false},
                  {"Q3MatrixTransform_New", false}, {"Q3TriGrid_GetVertexArrays", true},
                  {"Q3MemoryStorage_NewBuffer", true},
                  {"Q3TextureShader_GetTexture", true}, {"Q3PixmapTexture_SetPixmap", true}};
  host::Effect& effect = load("shapemesh");
  for (const Failure& f : failures) {
    SCOPED_TRACE(f.call);
    host::Instance& mesh = makeMesh(effect);
    mesh.param(kSmooth).u.bd.value = 1;
    setHeights(filled(3, 3, PF_Pixel{255, 0, 0, 0}));
    setTexture(mesh, filled(2, 2, kOpaqueRed));
    if (f.duringRefresh) {
      ASSERT_NE(gridRefOfFrame(mesh).get(), nullptr);
    }
    setHeights(filled(3, 3, PF_Pixel{255, 255, 255, 255}));
    setTexture(mesh, filled(2, 2, PF_Pixel{255, 10, 20, 30}));

    Q3Testing_FailCall(f.call, kQ3ErrorOutOfMemory, 0);
    auto r = mesh.frameSetup();
    EXPECT_EQ(r.err, kQ3ErrorOutOfMemory);
    EXPECT_EQ(r.message, "OS error " + std::to_string(kQ3ErrorOutOfMemory));
    if (!f.duringRefresh && (std::string(f.call) == "Q3TriGrid_NewBlank" ||
                             std::string(f.call) == "Q3TriGrid_GetVertexArrays")) {
      EXPECT_NE(record(mesh).objectGroup, nullptr) << "the group is kept, partly filled";
      EXPECT_EQ(record(mesh).grid, nullptr);
      EXPECT_EQ(record(mesh).surfaceShader, nullptr);
    }
    ASSERT_TRUE(mesh.frameSetdown().ok());
    Q3Testing_ClearFailures();

    // The next frame has the whole object, with the new heights and texture.
    frame(mesh, [](TQ3Object group) {
      EXPECT_EQ(countOfType(group, kQ3TransformTypeMatrix), 1);
      EXPECT_EQ(countOfType(group, kQ3SetTypeAttribute), 1);
      EXPECT_EQ(countOfType(group, kQ3IlluminationTypePhong), 1);
      Ref grid = memberOfType(group, kQ3GeometryTypeTriGrid);
      ASSERT_NE(grid.get(), nullptr);
      const GridSnapshot g = snapshot(grid.get());
      EXPECT_FLOAT_EQ(g.at(1, 1).point.y, 0.5f);
      EXPECT_TRUE(g.at(1, 1).hasNormal);
      Ref shader = memberOfType(group, kQ3SurfaceShaderTypeTexture);
      ASSERT_NE(shader.get(), nullptr);
      const TextureView t = textureOf(shader.get());
      ASSERT_EQ(t.bytes.size(), 16u);
      EXPECT_EQ(bytesAt(t.bytes, 0, 4), (std::vector<unsigned char>{30, 20, 10, 255}));
    });
  }
}

TEST_F(MeshTest, OutOfMemoryIsReportedAndTheNextFrameRecovers) {
  host::Instance& mesh = makeMesh();
  mesh.param(kSmooth).u.bd.value = 1;
  setHeights(filled(3, 3, kOpaqueRed));
  // The build's working memory (the fill's scratch, then its row buffer);
  // then the working memory of a refill.
  for (std::size_t skip : {0, 1, 0}) {
    os::testing::failAllocations(skip, 1);
    auto r = mesh.frameSetup();
    EXPECT_EQ(r.err, 1024) << skip;
    EXPECT_EQ(r.message, "Out of Memory") << skip;
    ASSERT_TRUE(mesh.frameSetdown().ok());
    if (skip == 1) {
      EXPECT_EQ(gridOfFrame(mesh).vertices.size(), 9u) << "the next frame recovers";
      setHeights(filled(3, 3, PF_Pixel{255, 255, 255, 255}));
    }
  }
  const GridSnapshot g = gridOfFrame(mesh);
  ASSERT_EQ(g.vertices.size(), 9u);
  EXPECT_FLOAT_EQ(g.at(1, 1).point.y, 0.5f) << "the refill after the failed one";

  // The texture buffer cannot grow: the record and the texture keep the old
  // buffer, which the texture still reads.
  setTexture(mesh, filled(2, 2, kOpaqueRed));
  const TextureView small = textureOfFrame(mesh);
  void* const before = record(mesh).pixelBuffer;
  ASSERT_EQ(small.buffer, before);
  setTexture(mesh, filled(8, 8, kOpaqueRed));
  setHeights(filled(3, 3, PF_Pixel{0, 0, 0, 0}));
  os::testing::failAllocations(2, 1);  // after the refill's two working blocks
  auto r = mesh.frameSetup();
  EXPECT_EQ(r.err, 1024);
  EXPECT_FLOAT_EQ(snapshot(record(mesh).grid).at(1, 1).point.y, -0.5f) << "the grid was refilled first";
  EXPECT_EQ(record(mesh).pixelBuffer, before);
  EXPECT_EQ(record(mesh).pixelBufferSize, 16u);
  EXPECT_EQ(textureOf(record(mesh).surfaceShader).buffer, before);
  ASSERT_TRUE(mesh.frameSetdown().ok());
  const TextureView grown = textureOfFrame(mesh);
  EXPECT_EQ(grown.bytes.size(), 256u);
  EXPECT_EQ(record(mesh).pixelBufferSize, 256u);
}

TEST_F(MeshTest, SetdownLeavesNothingThatReadsTheFreedTextureBuffer) {
  host::Instance& mesh = makeMesh();
  setHeights(filled(2, 2, kOpaqueRed));
  setTexture(mesh, filled(2, 2, kOpaqueRed));
  ASSERT_TRUE(mesh.frameSetup().ok());
  auto shapes = membersOf(sceneBlock().displayGroup);
  ASSERT_EQ(shapes.size(), 1u);
  // The sequence ends while the shared group still holds the object: what
  // the group keeps must not lead to the texture over the freed buffer.
  ASSERT_TRUE(mesh.sequenceSetdown().ok());
  EXPECT_EQ(countOfType(shapes[0].get(), kQ3SurfaceShaderTypeTexture), 0);
  TQ3Uns32 left = 99;
  EXPECT_EQ(Q3Group_CountObjects(shapes[0].get(), &left), kQ3Success);
  EXPECT_EQ(left, 0u);
  shapes.clear();
  SharedSceneBlock& block = sceneBlock();
  Q3Object_Dispose(block.displayGroup);
  Q3Object_Dispose(block.lightGroup);
  block.displayGroup = block.lightGroup = nullptr;
}

}  // namespace
}  // namespace vask::test
