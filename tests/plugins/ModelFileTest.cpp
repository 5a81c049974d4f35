// The File Object with real model files, through `main`: a model named by a
// flat record is read, measured and placed; moved, damaged, blocking and
// cancelled reads tell the user what went wrong and lose nothing else; the
// cache hands each sequence its own model.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "PluginTestSupport.h"
#include "host/EffectControls.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DView.h"
#include "shell/ParamTables.h"
#include "tools/models/ModelWriter.h"
#include "tools/models/Primitives.h"

namespace vask::test {
namespace {

namespace fs = std::filesystem;
using models::Form;
using models::ModelWriter;

class ModelFileTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    dir_ = fs::temp_directory_path() / ("vask_models_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override {
    PluginTest::TearDown();
    fs::remove_all(dir_);
  }
  std::string write(const std::string& name, const std::string& bytes) {
    const fs::path path = dir_ / name;
    EXPECT_TRUE(models::writeFile(path.string(), bytes));
    return path.string();
  }
  // A live File Object whose record names `path`, not yet measured (scale
  // 0), as the host makes for a project's "model".
  host::Instance& withModel(host::Effect& e, const std::string& path) {
    FlatModel f;
    f.scale = 0;
    f.path = path;
    f.pathLength = static_cast<int32_t>(path.size());
    host::Instance& i = apply(e, /*setUp=*/false);
    i.setFlatSequenceData(f.bytes());
    auto r = i.sequenceResetup();
    EXPECT_TRUE(r.ok()) << r;
    return i;
  }
  static FlatModel flatten(host::Instance& i) {
    auto r = i.sequenceFlatten();
    EXPECT_TRUE(r.ok()) << r;
    return FlatModel::from(i.flatSequenceBytes());
  }
  // The exact bounds of what the instance publishes at frame setup.
  static TQ3BoundingBox published(host::Instance& i) {
    EXPECT_TRUE(i.frameSetup().ok());
    TQ3BoundingBox box{};
    box.isEmpty = kQ3True;
    ObjectHolder view(Q3View_New());
    Q3View_StartBoundingBox(view.get(), kQ3ComputeBoundsExact);
    do {
      Q3DisplayGroup_Submit(sceneBlock().displayGroup, view.get());
    } while (Q3View_EndBoundingBox(view.get(), &box) == kQ3ViewStatusRetraverse);
    EXPECT_TRUE(i.frameSetdown().ok());
    return box;
  }
  std::string rocket() {
    ModelWriter w(Form::kBigEndian);
    models::writeRocket(w);
    return write("rocket.3dmf", w.bytes());
  }
  fs::path dir_;
};

TEST_F(ModelFileTest, AModelIsReadMeasuredPlacedAndSavedAsPathCentreAndScale) {
  host::Effect& e = load("meshfile");
  const std::string path = rocket();
  host::Instance& i = withModel(e, path);
  EXPECT_TRUE(desktop_.boxes().empty());
  EXPECT_EQ(desktop_.cursorHistory().size(), 2u) << "the wait cursor, then the previous one";

  // Defaults: centred on the origin, its largest extent (3 units of y) one.
  TQ3BoundingBox box = published(i);
  ASSERT_FALSE(box.isEmpty);
  EXPECT_NEAR(box.max.y - box.min.y, 1.0, 1e-5);
  EXPECT_NEAR(box.max.y + box.min.y, 0.0, 1e-5);

  // "Up/Down" 90 turns the model's +Y onto +Z: its long axis now runs along z.
  i.param(meshfile::kUpDown).u.fd.value = 90 << 16;
  box = published(i);
  EXPECT_NEAR(box.max.z - box.min.z, 1.0, 1e-5);
  EXPECT_LT(box.max.y - box.min.y, 0.6);

  const FlatModel f = flatten(i);
  EXPECT_EQ(i.flatSequenceBytes().size(), 32 + path.size()) << "no terminating zero";
  EXPECT_EQ(f.path, path);
  EXPECT_NEAR(f.centre[1], 1.4f, 1e-5);
  EXPECT_NEAR(f.scale, 1.0f / 3.0f, 1e-6);
}

TEST_F(ModelFileTest, ModelsWithNothingToMeasureOrOfNoExtent) {
  host::Effect& e = load("meshfile");
  // Only a light: nothing drawable, so the empty-bounds rule applies.
  ModelWriter empty(Form::kText);
  empty.begin("AmbientLight", "ambn");
  empty.end();
  FlatModel f = flatten(withModel(e, write("empty.3dmf", empty.bytes())));
  EXPECT_TRUE(desktop_.boxes().empty());
  EXPECT_EQ(f.centre[0], 0.0f);
  EXPECT_FLOAT_EQ(f.scale, static_cast<float>(1.0 / (2.0 * static_cast<double>(1.0e27f))));

  // A single point measures as a point: the scale stays 1.
  ModelWriter point(Form::kText);
  point.begin("Point", "pnt ");
  for (float v : {2.0f, 3.0f, 4.0f}) point.f32(v);
  point.end();
  f = flatten(withModel(e, write("point.3dmf", point.bytes())));
  EXPECT_EQ(f.scale, 1.0f);
  EXPECT_EQ(f.centre[2], 4.0f);
}

TEST_F(ModelFileTest, UnreadableModelsAlertOnceNamingTheFileInWordsAndPublishNothing) {
  host::Effect& e = load("meshfile");
  const std::string junk = write("junk.3dmf", "this is no model");
  const std::string fifo = (dir_ / "pipe.3dmf").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ModelWriter bad(Form::kBigEndian);
  bad.begin("TriMesh", "tmsh");
  for (uint32_t v : {1u, 0u, 0u, 0u, 2u, 0u}) bad.u32(v);
  for (uint32_t v : {0u, 1u, 7u}) bad.index(v, 1);  // point 7 of 2
  for (int k = 0; k < 6; ++k) bad.f32(0);
  bad.end();
  const std::string index = write("index.3dmf", bad.bytes());

  const std::vector<std::pair<std::string, std::string>> cases = {
      {junk, "junk.3dmf: it is not a 3DMF file"},
      {fifo, "pipe.3dmf: it is not a regular file"},  // and the open does not block
      {index, "index.3dmf: the TriMesh at byte 24 has a triangle with a point index past its 2 points"}};
  for (std::size_t k = 0; k < cases.size(); ++k) {
    host::Instance& i = withModel(e, cases[k].first);
    ASSERT_EQ(desktop_.boxes().size(), k + 1) << k;
    EXPECT_NE(desktop_.boxes()[k].text.find(cases[k].second), std::string::npos) << desktop_.boxes()[k].text;
    EXPECT_EQ(desktop_.boxes()[k].text.find("MSG"), std::string::npos) << "no raw codes";
    EXPECT_TRUE(published(i).isEmpty) << k;
    EXPECT_EQ(flatten(i).pathLength, 0) << k;
  }
}

TEST_F(ModelFileTest, EscapeDuringALongReadStopsIt) {
  host::Effect& e = load("meshfile");
  ModelWriter w(Form::kLittleEndian);
  for (int k = 0; k < 50; ++k) models::writeWavySheet(w, 20, 20);
  const std::string path = write("long.3dmf", w.bytes());
  // The first query forgets an earlier press; the read asks again and again.
  desktop_.keyDownOnQuery(os::Key::Escape, 10);
  host::Instance& i = withModel(e, path);
  ASSERT_EQ(desktop_.boxes().size(), 1u);
  EXPECT_NE(desktop_.boxes()[0].text.find("long.3dmf: the read was cancelled"), std::string::npos)
      << desktop_.boxes()[0].text;
  EXPECT_EQ(flatten(i).pathLength, 0);
}

TEST_F(ModelFileTest, TheCacheGivesEachSequenceItsOwnModelWithoutReadingTheFile) {
  host::Effect& e = load("meshfile");
  ModelWriter small(Form::kText);
  small.begin("Box", "box ");
  for (float v : {0.f, 2.f, 0.f, 0.f, 0.f, 2.f, 2.f, 0.f, 0.f, 0.f, 0.f, 0.f}) small.f32(v);
  small.end();
  const std::string boxPath = write("box.3dmf", small.bytes());
  // Set up in the same millisecond, as a host opening a project does.
  host::Instance& a = withModel(e, rocket());
  host::Instance& b = withModel(e, boxPath);
  const FlatModel fa = flatten(a), fb = flatten(b);
  EXPECT_FALSE(fa.seconds == fb.seconds && fa.ticks == fb.ticks) << "stamps are unique";
  fs::remove(dir_ / "rocket.3dmf");
  fs::remove(boxPath);
  const std::size_t cursors = desktop_.cursorHistory().size();
  ASSERT_TRUE(b.sequenceResetup().ok());
  ASSERT_TRUE(a.sequenceResetup().ok());
  EXPECT_TRUE(desktop_.boxes().empty()) << "no file was read";
  EXPECT_EQ(desktop_.cursorHistory().size(), cursors) << "and no wait cursor shown";
  // Each has its own model back: the rocket spans one unit in y, the box in all.
  const TQ3BoundingBox ba = published(a), bb = published(b);
  EXPECT_NEAR(ba.max.x - ba.min.x, 1.6 / 3.0, 1e-4);
  EXPECT_NEAR(bb.max.x - bb.min.x, 1.0, 1e-5);
  EXPECT_EQ(flatten(b).path, boxPath);
}

TEST_F(ModelFileTest, TheImportButtonMeasuresAndIsSilentWhenCancelled) {
  host::Instance& i = apply(load("meshfile"));
  host::EffectControls w(i, 300);
  ASSERT_TRUE(w.drawAll().ok());
  const host::EffectControls::Control& model = *w.control(meshfile::kModel);
  auto importFile = [&](std::optional<std::string> path) {
    desktop_.queueOpenFileAnswer(std::move(path));
    ASSERT_TRUE(w.press(model, {10, 8}).ok());
    ASSERT_TRUE(w.release({10, 8}).ok());
  };
  i.param(meshfile::kXScale).u.fd.value = 2 << 16;

  importFile(std::nullopt);  // the dialog cancelled
  importFile(rocket());
  EXPECT_TRUE(desktop_.boxes().empty());
  EXPECT_EQ(i.takeChangedParams(), std::vector<int32_t>{meshfile::kLeftRight}) << "the host renders again";
  TQ3BoundingBox box = published(i);
  EXPECT_NEAR(box.max.y - box.min.y, 1.0, 1e-5) << "measured: one unit tall";
  EXPECT_NEAR(box.max.x - box.min.x, 2 * 1.6 / 3, 1e-5) << "X Scale kept";

  // Escape during the read of a second model: silent, the rocket stays.
  ModelWriter w2(Form::kLittleEndian);
  for (int k = 0; k < 50; ++k) models::writeWavySheet(w2, 20, 20);
  desktop_.keyDownOnQuery(os::Key::Escape, 5);
  importFile(write("long.3dmf", w2.bytes()));
  EXPECT_TRUE(desktop_.boxes().empty());
  EXPECT_EQ(flatten(i).path, (dir_ / "rocket.3dmf").string());
}

}  // namespace
}  // namespace vask::test
