// The studio's server as an attacker or a confused client meets it, and the
// edits and saves of its host thread.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "host/AtomicFile.h"
#include "host/HostError.h"
#include "host/Project.h"
#include "host/studio/ProjectFolder.h"
#include "host/studio/StudioCommand.h"
#include "host/studio/StudioEngine.h"
#include "host/studio/StudioServer.h"
#include "host/studio/WebDesktop.h"
#include "host/HostTestSupport.h"
#include "tools/models/ModelWriter.h"

namespace vask::host {
namespace {

constexpr const char* kProject = R"({
  "format": 1,
  "composition": {"width": 64, "height": 36, "frame_rate": 24, "frames": 3},
  "layers": [
    {"name": "Lamp", "solid": "#203040",
     "effects": [{"effect": "HALV VASKPNT1",
                  "params": {"Visible": true,
                             "X Position": {"keyframes": [{"f": 0, "value": -1}, {"f": 2, "value": 1}]}}}]},
    {"name": "Camera", "solid": "#000000", "effects": [{"effect": "HALV VASKSCENERENDER1"}]},
    {"name": "Model", "solid": [0, 0, 0, 0], "effects": [{"effect": "HALV VASKMESHFILE1"}]}
  ]
})";

std::string readText(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class StudioServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    project_ = dir_.write("lamp.json", kProject);
    std::filesystem::create_directory(dir_.path() / "models");
    dir_.write("models/a.3dmf", "3DMetaFile");
    outside_.write("secret.txt", "not for the page");
    std::filesystem::create_symlink(outside_.path(), dir_.path() / "escape");
    std::filesystem::create_symlink(outside_.path() / "secret.txt", dir_.path() / "secret-link.txt");
    folder_ = std::make_unique<ProjectFolder>(dir_.path());
    desktop_ = std::make_unique<WebDesktop>(*folder_);
    shown_ = std::make_unique<os::ScopedDesktop>(*desktop_);
    StudioEngine::Options options;
    options.plugins = {test::binDir()};
    options.renderFolder = dir_.path() / "frames";
    engine_ = std::make_unique<StudioEngine>(project_, *folder_, *desktop_, options);
    ASSERT_EQ(engine_->wait(1, std::chrono::seconds(60), desktop_->changes()).reply.status, 200);
    server_ = std::make_unique<StudioServer>(*engine_, *desktop_, *folder_, token_);
    port_ = server_->start(0);
    client_ = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client_->set_read_timeout(30, 0);
  }
  void TearDown() override {
    server_.reset();
    engine_.reset();
  }

  httplib::Headers auth() const { return {{"X-Vask-Token", token_}}; }
  int get(const std::string& path) {
    auto r = client_->Get(path.c_str(), auth());
    return r ? r->status : -1;
  }
  httplib::Result post(const std::string& path, const std::string& body) {
    return client_->Post(path.c_str(), auth(), body, "application/json");
  }
  bool serving() { return get("/api/status") == 200; }

  test::TempDir dir_, outside_;
  std::filesystem::path project_;
  const std::string token_ = makeToken();
  std::unique_ptr<ProjectFolder> folder_;
  std::unique_ptr<WebDesktop> desktop_;
  std::unique_ptr<os::ScopedDesktop> shown_;
  std::unique_ptr<StudioEngine> engine_;
  std::unique_ptr<StudioServer> server_;
  std::unique_ptr<httplib::Client> client_;
  int port_ = 0;
};

TEST_F(StudioServerTest, EveryRequestNeedsTheToken) {
  for (const char* path : {"/", "/studio.js", "/api/status", "/api/describe", "/api/files?dir=", "/nowhere"}) {
    auto none = client_->Get(path);
    ASSERT_TRUE(none) << path;
    EXPECT_EQ(none->status, 403) << path;
    std::string wrong = token_;
    wrong.back() = wrong.back() == '0' ? '1' : '0';
    EXPECT_EQ(client_->Get(path, httplib::Headers{{"X-Vask-Token", wrong}})->status, 403) << path;
    EXPECT_EQ(client_->Get(path, httplib::Headers{{"X-Vask-Token", token_ + "0"}})->status, 403) << path;
    EXPECT_EQ(client_->Get(path, httplib::Headers{{"X-Vask-Token", token_.substr(0, 31)}})->status, 403) << path;
  }
  EXPECT_EQ(client_->Post("/api/key", R"({"key":"Escape"})", "application/json")->status, 403);
  EXPECT_EQ(get("/api/describe"), 200);
  auto page = client_->Get(("/?token=" + token_).c_str());
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->body.find("studio.js?token=" + token_), std::string::npos);

  // The port is this studio's alone: no second server listens on it too.
  StudioServer other(*engine_, *desktop_, *folder_, makeToken());
  EXPECT_THROW(other.start(port_), HostError);

  EXPECT_TRUE(sameToken("abc", "abc"));
  EXPECT_FALSE(sameToken("", "abc"));
  EXPECT_FALSE(sameToken("abcd", "abc"));
  EXPECT_EQ(makeToken().size(), 32u);
  EXPECT_NE(makeToken(), makeToken());
}

TEST_F(StudioServerTest, NothingOutsideTheProjectFolderIsListedOrChosen) {
  for (const char* dir : {"..", "../..", "/etc", "models/../..", "escape", "%2e%2e"}) {
    EXPECT_EQ(get(std::string("/api/files?dir=") + dir), 403) << dir;
  }
  auto listing = client_->Get("/api/files?dir=", auth());
  ASSERT_EQ(listing->status, 200);
  const Json j = Json::parse(listing->body);
  std::vector<std::string> names;
  for (const auto& e : j["entries"]) names.push_back(e["name"]);
  EXPECT_EQ(names, (std::vector<std::string>{"models", "lamp.json"})) << listing->body;
  EXPECT_EQ(get("/api/files?dir=models"), 200);

  // The picker's answer is checked by the server, whatever the page sends.
  std::optional<std::string> chosen = "unset";
  std::thread host([&] {
    chosen = desktop_->chooseOpenFile(os::OpenFileRequest{});
  });
  while (!desktop_->modal()) std::this_thread::yield();
  const uint64_t id = desktop_->modal()->id;
  for (const char* bad : {"../secret.txt", "secret-link.txt", "escape/secret.txt", "/etc/passwd", "models", "missing.3dmf"}) {
    auto r = post("/api/modal", Json{{"id", id}, {"kind", "openFile"}, {"file", bad}}.dump());
    EXPECT_EQ(r->status, 409) << bad;
  }
  EXPECT_EQ(post("/api/modal", Json{{"id", id + 1}, {"kind", "openFile"}, {"file", "models/a.3dmf"}}.dump())->status, 409);
  EXPECT_EQ(post("/api/modal", Json{{"id", id}, {"kind", "openFile"}, {"file", "models/a.3dmf"}}.dump())->status, 200);
  host.join();
  EXPECT_EQ(chosen, (folder_->root() / "models/a.3dmf").string());
}

TEST_F(StudioServerTest, MalformedAndOversizedRequestsAreRefusedAndServingGoesOn) {
  EXPECT_EQ(post("/api/param", std::string(StudioServer::kMaxBody + 1, ' '))->status, 413);
  EXPECT_EQ(post("/api/param", "{not json")->status, 400);
  EXPECT_EQ(post("/api/param", "[1, 2]")->status, 400);
  EXPECT_EQ(post("/api/param", R"({"layer": 0, "effect": 0, "index": 1, "frame": 99, "value": 1})")->status, 400);
  EXPECT_EQ(post("/api/param", R"({"layer": 0, "effect": 7, "index": 1, "frame": 0, "value": 1})")->status, 400);
  EXPECT_EQ(post("/api/param", R"({"layer": 0, "effect": 0, "index": 0, "frame": 0, "value": 1})")->status, 400);
  EXPECT_EQ(post("/api/pointer", R"({"layer": 0, "effect": 0, "frame": 0, "kind": "jump", "x": 1, "y": 1})")->status, 400);
  EXPECT_EQ(get("/api/frame?frame=-1"), 400);
  EXPECT_EQ(get("/api/frame?frame=abc"), 400);
  EXPECT_EQ(get("/api/job?id=999999&seen=0"), 404);
  EXPECT_EQ(post("/api/modal", R"({"id": 1, "kind": "alert"})")->status, 409);  // no box is up
  EXPECT_EQ(post("/api/save", R"({"as": "../elsewhere.json"})")->status, 400);
  EXPECT_EQ(post("/api/save", R"({"as": "lamp.txt"})")->status, 400);

  // Sends `raw` on a connection of its own; with `answer`, returns the first
  // bytes of the reply (empty when none comes within 5 seconds).
  auto exchange = [&](const std::string& raw, bool answer) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port_));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const timeval limit{5, 0};
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::string reply;
    if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::send(s, raw.data(), raw.size(), MSG_NOSIGNAL) > 0 && answer) {
      char buffer[64];
      const ssize_t n = ::recv(s, buffer, sizeof buffer, 0);
      if (n > 0) reply.assign(buffer, static_cast<std::size_t>(n));
    }
    ::close(s);
    return reply;
  };
  // Bytes that are no HTTP at all, a header line without end, a request cut short.
  for (const std::string& raw : {std::string("\x16\x03\x01\x02\x00garbage\r\n\r\n", 16),
                                std::string(20000, 'A') + "\r\n", std::string("POST /api/param HTTP/1.1\r\nContent-Length: 100\r\n\r\n{")}) {
    exchange(raw, false);
  }
  // Bodies whose size no Content-Length bounds are refused before they are
  // read: a chunked one that never ends, and a compressed one.
  const std::string head = "POST /api/param HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Vask-Token: " + token_ + "\r\n";
  EXPECT_EQ(exchange(head + "Transfer-Encoding: chunked\r\n\r\n100000\r\n" + std::string(1000, ' '), true).substr(0, 12),
            "HTTP/1.1 411");
  EXPECT_EQ(exchange(head + "Content-Encoding: gzip\r\nContent-Length: 10\r\n\r\n\x1f\x8b", true).substr(0, 12),
            "HTTP/1.1 415");
  EXPECT_TRUE(serving());
  auto frame = client_->Get("/api/frame?frame=1", auth());
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->status, 200);
  EXPECT_EQ(frame->get_header_value("Content-Type"), "image/png");
}

TEST_F(StudioServerTest, EditsReachTheFrameAndTheSavedProject) {
  const Json describe = Json::parse(client_->Get("/api/describe", auth())->body);
  int32_t x = -1, colour = -1;
  for (const auto& p : describe["layers"][0]["effects"][0]["params"]) {
    if (p["name"] == "X Position") x = p["index"];
    if (p["name"] == "Color") colour = p["index"];
  }
  ASSERT_GT(x, 0);
  ASSERT_GT(colour, 0);
  const auto before = client_->Get("/api/frame?frame=1", auth())->body;
  // A keyed parameter gets a key at the frame; a plain one a new value.
  auto r = post("/api/param", Json{{"layer", 0}, {"effect", 0}, {"index", x}, {"frame", 1}, {"value", 2.5}}.dump());
  ASSERT_EQ(r->status, 200) << r->body;
  EXPECT_EQ(Json::parse(r->body)["keys"], Json::parse("[0.0, 1.0, 2.0]"));
  r = post("/api/param", Json{{"layer", 0}, {"effect", 0}, {"index", colour}, {"frame", 1}, {"value", "#ff0000"}}.dump());
  ASSERT_EQ(r->status, 200) << r->body;
  EXPECT_NE(client_->Get("/api/frame?frame=1", auth())->body, before);
  // Keyframes off: the value at the frame for every frame.
  r = post("/api/param", Json{{"layer", 0}, {"effect", 0}, {"index", x}, {"frame", 2}, {"keyed", false}}.dump());
  EXPECT_EQ(Json::parse(r->body)["value"], 1.0);

  // Save refuses a folder in the project's place and leaves it alone.
  std::filesystem::create_directory(dir_.path() / "taken.json");
  EXPECT_EQ(post("/api/save", R"({"as": "taken.json"})")->status, 400);
  EXPECT_TRUE(std::filesystem::is_directory(dir_.path() / "taken.json"));
  std::filesystem::create_symlink(outside_.path() / "secret.txt", dir_.path() / "out.json");
  EXPECT_EQ(post("/api/save", R"({"as": "out.json"})")->status, 400);
  EXPECT_EQ(readText(outside_.path() / "secret.txt"), "not for the page");

  r = post("/api/save", "{}");
  ASSERT_EQ(r->status, 200) << r->body;
  const Project saved = loadProject(project_);
  const Json params = saved.document["layers"][0]["effects"][0]["params"];
  EXPECT_EQ(params["X Position"], 1.0);
  EXPECT_EQ(params["Color"], "#ff0000");
  EXPECT_TRUE(saved.layers[0].effects[0].flat.has_value());
  EXPECT_TRUE(serving());
}

TEST_F(StudioServerTest, RenderWritesEveryFrameAndRunsOneAtATime) {
  // The host thread is held by the Import button's file picker, so the render
  // asked for now waits its turn: a second one is refused for as long as the
  // first runs, even before the host thread has taken it up.
  const std::string at = R"({"layer": 2, "effect": 0, "frame": 0, "x": 27, "y": 27, "kind": ")";
  auto down = post("/api/pointer", at + R"(down"})");
  ASSERT_EQ(down->status, 202) << down->body;
  const Json picker = Json::parse(down->body)["modal"];
  ASSERT_EQ(picker["kind"], "openFile");
  auto r = post("/api/render", "{}");
  ASSERT_EQ(r->status, 202) << r->body;
  EXPECT_TRUE(Json::parse(r->body)["render"]["running"]);
  EXPECT_EQ(post("/api/render", "{}")->status, 409);
  EXPECT_EQ(post("/api/modal", Json{{"id", picker["id"]}, {"kind", "openFile"}, {"file", nullptr}}.dump())->status, 200);
  // The release may wait behind the render (202, answered later).
  const int up = post("/api/pointer", at + R"(up"})")->status;
  EXPECT_TRUE(up == 200 || up == 202) << up;
  Json progress;
  for (int i = 0; i < 600; ++i) {
    progress = Json::parse(client_->Get("/api/status", auth())->body)["render"];
    if (!progress["running"]) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_FALSE(progress["running"]);
  EXPECT_EQ(progress["error"], "");
  EXPECT_EQ(progress["done"], 3);
  for (const char* name : {"frame_0000.png", "frame_0001.png", "frame_0002.png"})
    EXPECT_TRUE(std::filesystem::is_regular_file(dir_.path() / "frames" / name)) << name;
  EXPECT_EQ(post("/api/render", "{}")->status, 202);
}

TEST_F(StudioServerTest, EscapeInThePageStopsALongImport) {
  models::ModelWriter big(models::Form::kLittleEndian);
  for (int k = 0; k < 2000; ++k) models::writeWavySheet(big, 20, 20);
  ASSERT_TRUE(models::writeFile((dir_.path() / "models/long.3dmf").string(), big.bytes()));

  // A click on the Model control's Import button, the file chosen in the
  // picker; with `escape`, Escape pressed in the page until the click is
  // done. True when the effect asked for the frame to be rendered again.
  auto import = [&](bool escape) {
    const std::string at = R"({"layer": 2, "effect": 0, "frame": 0, "x": 27, "y": 27, "kind": ")";
    auto down = post("/api/pointer", at + R"(down"})");
    EXPECT_EQ(down->status, 202) << down->body;
    const Json pending = Json::parse(down->body);
    EXPECT_EQ(pending["modal"]["kind"], "openFile");
    EXPECT_EQ(post("/api/modal", Json{{"id", pending["modal"]["id"]}, {"kind", "openFile"}, {"file", "models/long.3dmf"}}.dump())->status, 200);
    std::atomic<bool> done{false};
    std::thread keys([&] {
      httplib::Client c("127.0.0.1", port_);
      while (escape && !done) {
        c.Post("/api/key", auth(), R"({"key": "Escape"})", "application/json");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    const std::string job = "/api/job?id=" + std::to_string(pending["pending"].get<uint64_t>()) + "&seen=";
    int status = 0;
    std::string body;
    do {
      auto r = client_->Get((job + std::to_string(desktop_->changes())).c_str(), auth());
      status = r ? r->status : -1;
      body = r ? r->body : "";
    } while (status == 202 && !Json::parse(body)["modal"].is_object());
    done = true;
    keys.join();
    EXPECT_EQ(status, 200) << body << " (a cancelled read shows no box)";
    auto up = post("/api/pointer", at + R"(up"})");
    EXPECT_EQ(up->status, 200);
    bool rendered = false;
    for (const std::string& b : {body, up->body}) {
      const Json reply = Json::parse(b, nullptr, false);
      rendered = rendered || (reply.is_object() && reply.value("rerender", false));
    }
    return rendered;
  };
  EXPECT_FALSE(import(true)) << "the model is not read, and the frame stays";
  EXPECT_TRUE(import(false)) << "without Escape the same file is imported";
}

TEST(StudioCommandTest, AProjectThatCannotLoadIsReportedAloneWithoutAnAddress) {
  test::TempDir dir;
  dir.write("broken.json", "{\"format\": 1, \"composition\": ");
  for (const char* name : {"missing.json", "broken.json"}) {
    std::ostringstream out, err;
    StudioRequest request;
    request.project = dir.path() / name;
    request.open = false;
    request.plugins = {test::binDir()};
    EXPECT_EQ(runStudio(request, out, err), 1) << name;
    EXPECT_EQ(out.str(), "") << name;
    EXPECT_NE(err.str().find(name), std::string::npos) << err.str();
  }
}

}  // namespace
}  // namespace vask::host
