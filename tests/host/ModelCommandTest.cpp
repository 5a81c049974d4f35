// Models in projects and on the command line: a File Object entry's "model"
// is imported and measured, `vask save` keeps it in the flat record, and
// `vask model` describes files or says why it cannot.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "HostTestSupport.h"
#include "host/Base64.h"
#include "host/ModelCommand.h"
#include "host/ProjectCommands.h"
#include "tools/models/ModelWriter.h"
#include "tools/models/Primitives.h"

namespace vask::host {
namespace {

using ::testing::HasSubstr;
using Json = nlohmann::json;

std::string readText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class ModelCommandTest : public ::testing::Test {
 protected:
  std::filesystem::path model(const std::string& name, models::Form form) {
    models::ModelWriter w(form);
    models::writeRocket(w);
    return dir_.write(name, w.bytes());
  }
  int describe(const std::filesystem::path& file, bool json, std::string& out, std::string& err) {
    std::ostringstream o, e;
    const int code = runModel(file, json, o, e);
    out = o.str(), err = e.str();
    return code;
  }
  test::TempDir dir_;
};

TEST_F(ModelCommandTest, SaveKeepsAProjectModelsPathCentreAndScale) {
  std::filesystem::create_directory(dir_.path() / "models");
  const auto rocket = model("models/rocket.3dmf", models::Form::kText);
  const auto file = dir_.write("p.json", R"({"format": 1,
    "composition": {"width": 8, "height": 6, "frame_rate": 12, "frames": 1},
    "layers": [{"name": "M", "solid": "#000000", "effects": [
      {"effect": "HALV VASKMESHFILE1", "model": "models/rocket.3dmf"}]}]})");
  std::ostringstream err;
  ASSERT_EQ(runSave(SaveRequest{file, dir_.path() / "saved.json", {test::binDir()}}, err), 0) << err.str();
  const Json doc = Json::parse(readText(dir_.path() / "saved.json"));
  const auto flat = decodeBase64(doc["layers"][0]["effects"][0]["flat"].get<std::string>(), nullptr);
  ASSERT_TRUE(flat);
  const std::string path = std::filesystem::absolute(rocket).lexically_normal().string();
  ASSERT_EQ(flat->size(), 32 + path.size());
  EXPECT_EQ(std::memcmp(flat->data() + 32, path.data(), path.size()), 0);
  float centreY, scale;
  std::memcpy(&centreY, flat->data() + 20, 4);
  std::memcpy(&scale, flat->data() + 28, 4);
  EXPECT_NEAR(centreY, 1.4f, 1e-5);
  EXPECT_NEAR(scale, 1.0f / 3, 1e-6) << "measured as after the Import button";

  // Only a File Object entry may name a model.
  const auto wrong = dir_.write("w.json", R"({"format": 1,
    "composition": {"width": 8, "height": 6, "frame_rate": 12, "frames": 1},
    "layers": [{"name": "M", "solid": "#000000", "effects": [
      {"effect": "HALV VASKPNT1", "model": "models/rocket.3dmf"}]}]})");
  std::ostringstream wrongErr;
  EXPECT_EQ(runSave(SaveRequest{wrong, dir_.path() / "w2.json", {test::binDir()}}, wrongErr), 1);
  EXPECT_THAT(wrongErr.str(), HasSubstr("\"model\" belongs to a File Object"));
}

TEST_F(ModelCommandTest, DescribesTextAndBinaryFilesAndNamesWhatItCannotRead) {
  std::string out, err;
  ASSERT_EQ(describe(model("r.3dmf", models::Form::kLittleEndian), true, out, err), 0) << err;
  const Json j = Json::parse(out);
  EXPECT_EQ(j["form"], "binary little-endian");
  EXPECT_EQ(j["version"], "1.6");
  ASSERT_EQ(j["objects"].size(), 1u);
  EXPECT_EQ(j["objects"][0]["type"], "dspg");
  EXPECT_EQ(j["objects"][0]["drawable"], true);
  EXPECT_EQ(j["bounds"]["approximate"]["empty"], false);
  EXPECT_NEAR(j["bounds"]["exact"]["max"][1].get<double>(), 2.9, 1e-5);
  EXPECT_NEAR(j["scale"].get<double>(), 1.0 / 3, 1e-6);
  EXPECT_TRUE(j["errors"].empty());

  ASSERT_EQ(describe(model("t.3dmf", models::Form::kText), false, out, err), 0) << err;
  EXPECT_THAT(out, HasSubstr("form: text, Normal mode, version 1.6"));
  EXPECT_THAT(out, HasSubstr("  dspg  drawable"));

  EXPECT_EQ(describe(dir_.write("bad.3dmf", "3DMetafile ( 1 6 Normal x> ) Box ( 1 2"), false, out, err), 1);
  EXPECT_THAT(err, HasSubstr("bad.3dmf: EndOfFile while reading it: the file ends inside an object"));
  EXPECT_EQ(describe(dir_.path() / "missing.3dmf", false, out, err), 1);
  EXPECT_THAT(err, HasSubstr("missing.3dmf: No such file or directory"));
}

}  // namespace
}  // namespace vask::host
