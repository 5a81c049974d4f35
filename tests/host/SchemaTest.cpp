// docs/project.schema.json, the format's published schema, against every
// example project and every project `vask save` writes from them, and
// against documents it must refuse (so that it is not merely permissive).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>
#include <valijson/adapters/nlohmann_json_adapter.hpp>
#include <valijson/schema.hpp>
#include <valijson/schema_parser.hpp>
#include <valijson/validator.hpp>

#include "host/ProjectCommands.h"
#include "tests/host/HostTestSupport.h"

namespace vask::host {
namespace {

const std::filesystem::path kSource = VASK_SOURCE_DIR;

nlohmann::json readJson(const std::filesystem::path& file) {
  std::ifstream in(file);
  return nlohmann::json::parse(in);
}

class SchemaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const nlohmann::json document = readJson(kSource / "docs" / "project.schema.json");
    valijson::SchemaParser parser;
    valijson::adapters::NlohmannJsonAdapter adapter(document);
    parser.populateSchema(adapter, schema_);
  }

  // Empty when `document` is valid; else every complaint, one a line.
  std::string complaints(const nlohmann::json& document) const {
    valijson::Validator validator;
    valijson::ValidationResults results;
    valijson::adapters::NlohmannJsonAdapter adapter(document);
    if (validator.validate(schema_, adapter, &results)) return "";
    std::ostringstream out;
    valijson::ValidationResults::Error error;
    while (results.popError(error)) {
      for (const auto& part : error.context) out << part;
      out << ": " << error.description << "\n";
    }
    return out.str().empty() ? "invalid" : out.str();
  }

  valijson::Schema schema_;
};

TEST_F(SchemaTest, EveryExampleAndEverySavedProjectIsValid) {
  test::TempDir dir;
  int checked = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(kSource / "examples")) {
    if (entry.path().extension() != ".json") continue;
    EXPECT_EQ(complaints(readJson(entry.path())), "") << entry.path();
    const auto saved = dir.path() / (entry.path().stem().string() + "-saved.json");
    std::ostringstream err;
    ASSERT_EQ(runSave(SaveRequest{entry.path(), saved, {test::binDir()}}, err), 0) << err.str();
    EXPECT_EQ(complaints(readJson(saved)), "") << saved;
    checked += 2;
  }
  EXPECT_GE(checked, 10) << "the examples were found";
}

TEST_F(SchemaTest, RefusesWhatTheReaderRefuses) {
  const nlohmann::json good = nlohmann::json::parse(R"({"format": 2,
    "composition": {"width": 8, "height": 8, "frame_rate": 24, "frames": 2, "background": "#00000000"},
    "layers": [{"name": "A", "solid": [1, 2, 3], "effects": [{"effect": "HALV VASKPNT1", "params": {
      "Color": {"r": 1, "g": 0.5, "b": 0},
      "Intensity": {"keyframes": [{"t": 0, "value": 0, "ease": "out"}, {"f": 1, "value": 1, "handle_in": [0.5, 1.2]}]}}}]}]})");
  ASSERT_EQ(complaints(good), "");
  const struct {
    const char* what;
    const char* pointer;
    nlohmann::json value;
  } bad[] = {
      {"a fraction in a format-2 colour array", "/layers/0/solid", nlohmann::json::parse("[1.0, 0.94, 0.85]")},
      {"a colour object beyond 0 … 1", "/layers/0/solid", nlohmann::json::parse(R"({"r": 255, "g": 0, "b": 0})")},
      {"an unknown layer member", "/layers/0/colour", "#ffffff"},
      {"a second source", "/layers/0/image", "a.png"},
      {"both t and f", "/layers/0/effects/0/params/Intensity/keyframes/0/f", 0},
      {"a handle running back in time", "/layers/0/effects/0/params/Intensity/keyframes/1/handle_in",
       nlohmann::json::parse("[1.5, 1]")},
      {"an unknown ease", "/layers/0/effects/0/params/Intensity/keyframes/0/ease", "slow"},
      {"a format to come", "/format", 3},
      {"a sequence without a frame number", "/layers/0", nlohmann::json::parse(R"({"sequence": "plate.png"})")},
  };
  for (const auto& b : bad) {
    nlohmann::json doc = good;
    doc[nlohmann::json::json_pointer(b.pointer)] = b.value;
    EXPECT_NE(complaints(doc), "") << b.what;
  }
}

}  // namespace
}  // namespace vask::host
