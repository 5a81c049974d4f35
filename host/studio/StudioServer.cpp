#include "host/studio/StudioServer.h"

#include <httplib.h>

#include <array>
#include <chrono>
#include <random>
#include <thread>

#include "host/Base64.h"
#include "host/HostError.h"
#include "host/PngImage.h"
#include "host/studio/WebAssets.h"

namespace vask::host {
namespace {

using namespace std::chrono_literals;
using Op = StudioEngine::Op;

// How long a request waits for the host thread before the page is told to
// ask again; what the desktop shows meanwhile ends the wait at once.
constexpr auto kWait = 10s;

void send(httplib::Response& res, int status, const Json& body) {
  res.status = status;
  res.set_content(body.dump(-1, ' ', false, Json::error_handler_t::replace), "application/json");
}

void refuse(httplib::Response& res, int status, const std::string& why) { send(res, status, {{"error", why}}); }

const char* kindName(WebDesktop::ModalKind k) {
  switch (k) {
    case WebDesktop::ModalKind::Alert: return "alert";
    case WebDesktop::ModalKind::OpenFile: return "openFile";
    case WebDesktop::ModalKind::Dialog: return "dialog";
  }
  return "alert";
}

Json modalJson(const std::optional<WebDesktop::Modal>& m) {
  if (!m) return nullptr;
  Json filters = Json::array();
  for (const auto& f : m->filters) filters.push_back({{"label", f.label}, {"pattern", f.pattern}});
  Json j{{"id", m->id}, {"kind", kindName(m->kind)}, {"caption", m->caption}, {"text", m->text}};
  if (m->kind == WebDesktop::ModalKind::OpenFile) {
    j["filters"] = filters;
    j["filterIndex"] = m->filterIndex;
  }
  if (m->kind == WebDesktop::ModalKind::Dialog) {
    j["picture"] = "data:image/png;base64," + encodeBase64(m->picture);
    j["width"] = m->width;
    j["height"] = m->height;
  }
  return j;
}

// A request's JSON body; an object, or a 400 reply and nullopt.
std::optional<Json> body(const httplib::Request& req, httplib::Response& res) {
  Json j = Json::parse(req.body, nullptr, false);
  if (j.is_discarded() || !j.is_object()) {
    refuse(res, 400, "the request's body is not a JSON object");
    return std::nullopt;
  }
  return j;
}

// Query parameters as JSON: whole numbers as numbers, "1"/"true" and
// "0"/"false" as booleans where `flags` names them, others as text.
Json queryArgs(const httplib::Request& req, std::initializer_list<const char*> numbers,
               std::initializer_list<const char*> flags) {
  Json args = Json::object();
  for (const char* n : numbers) {
    if (!req.has_param(n)) continue;
    const std::string v = req.get_param_value(n);
    Json parsed = Json::parse(v, nullptr, false);
    args[n] = parsed.is_number_integer() ? parsed : Json(v);
  }
  for (const char* f : flags) {
    if (!req.has_param(f)) continue;
    const std::string v = req.get_param_value(f);
    args[f] = v == "1" || v == "true";
  }
  return args;
}

}  // namespace

std::string makeToken() {
  std::random_device source;  // the system's random source
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string token;
  for (int i = 0; i < 4; ++i) {
    const uint32_t word = source();
    for (int d = 0; d < 8; ++d) token += kDigits[(word >> (4 * d)) & 0xf];
  }
  return token;
}

bool sameToken(std::string_view given, std::string_view expected) {
  unsigned diff = given.size() == expected.size() ? 0u : 1u;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const unsigned char g = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
    diff |= g ^ static_cast<unsigned char>(expected[i]);
  }
  return diff == 0;
}

StudioServer::StudioServer(StudioEngine& engine, WebDesktop& desktop, const ProjectFolder& folder,
                           std::string token)
    : engine_(engine), desktop_(desktop), folder_(folder), token_(std::move(token)),
      http_(std::make_unique<httplib::Server>()) {
  routes();
}

StudioServer::~StudioServer() { stop(); }

std::string StudioServer::url() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/?token=" + token_;
}

int StudioServer::start(int port) {
  const int bound = port == 0 ? http_->bind_to_any_port("127.0.0.1") : (http_->bind_to_port("127.0.0.1", port) ? port : -1);
  if (bound <= 0) {
    throw HostError("cannot listen on 127.0.0.1:" + std::to_string(port) + (port ? " (is it in use?)" : ""));
  }
  port_ = bound;
  listenerDone_ = false;
  listener_ = std::thread([this] {
    http_->listen_after_bind();
    listenerDone_ = true;
  });
  // The library's stop() ends only a server already listening: one called
  // before would leave the listener waiting in accept() for good.
  while (!http_->is_running() && !listenerDone_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return port_;
}

void StudioServer::stop() {
  if (!listener_.joinable()) return;
  http_->stop();
  listener_.join();
}

void StudioServer::routes() {
  httplib::Server& s = *http_;
  // The library's default also sets SO_REUSEPORT, with which a second
  // process of the same user could listen on this port and take a share of
  // the page's connections. Only the address's reuse after a restart stays.
  s.set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  s.set_payload_max_length(kMaxBody);
  s.set_read_timeout(10, 0);
  s.set_write_timeout(10, 0);
  s.set_keep_alive_max_count(1000);
  s.set_keep_alive_timeout(1);  // so that stopping waits no longer for idle connections
  // Replies go out at once: small ones (a pointer event's) would otherwise
  // wait for the browser's delayed acknowledgement.
  s.set_tcp_nodelay(true);

  s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    const std::string given =
        req.has_header("X-Vask-Token") ? req.get_header_value("X-Vask-Token") : req.get_param_value("token");
    // A refused request's body is never read: the connection closes after
    // the reply instead.
    auto turnAway = [&](int status, const std::string& why) {
      refuse(res, status, why);
      res.set_header("Connection", "close");
      return httplib::Server::HandlerResponse::Handled;
    };
    if (!sameToken(given, token_)) return turnAway(403, "this studio needs the token printed when it started");
    // Only a body of a stated length is bounded by kMaxBody: a chunked one
    // would be read whole, and a compressed one grows when it is unpacked.
    // The page sends neither.
    if (req.has_header("Transfer-Encoding")) return turnAway(411, "a request's body needs a Content-Length");
    if (req.has_header("Content-Encoding") && req.get_header_value("Content-Encoding") != "identity")
      return turnAway(415, "a request's body must not be compressed");
    return httplib::Server::HandlerResponse::Unhandled;
  });
  s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
    try {
      std::rethrow_exception(ep);
    } catch (const std::exception& e) {
      refuse(res, 500, e.what());
    } catch (...) {
      refuse(res, 500, "unknown failure");
    }
  });
  s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) refuse(res, res.status, res.status == 413 ? "the request is too large" : "no such page");
  });

  // ---- the page ----
  s.Get("/", [this](const httplib::Request&, httplib::Response& res) {
    std::string html(web::kIndexHtml);
    for (auto at = html.find("{{TOKEN}}"); at != std::string::npos; at = html.find("{{TOKEN}}", at))
      html.replace(at, 9, token_);
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self' data: blob:; style-src 'self'; script-src 'self'; "
                   "connect-src 'self'; frame-ancestors 'none'");
    res.set_content(html, "text/html; charset=utf-8");
  });
  s.Get("/studio.js", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string(web::kStudioJs), "text/javascript; charset=utf-8");
  });
  s.Get("/studio.css", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(std::string(web::kStudioCss), "text/css; charset=utf-8");
  });

  // ---- requests for the host thread ----
  auto reply = [this](httplib::Response& res, uint64_t ticket, uint64_t seen) {
    const auto outcome = engine_.wait(ticket, kWait, seen);
    if (outcome.done) {
      res.status = outcome.reply.status;
      if (outcome.reply.picture) {
        const auto png = encodePng(*outcome.reply.picture);
        res.set_content(std::string(reinterpret_cast<const char*>(png.data()), png.size()), "image/png");
      } else {
        res.set_content(outcome.reply.body, outcome.reply.contentType.c_str());
      }
      return;
    }
    send(res, 202,
         {{"pending", ticket},
          {"modal", modalJson(desktop_.modal())},
          {"cursor", desktop_.cursor() == os::Cursor::Wait ? "wait" : "arrow"},
          {"changes", desktop_.changes()}});
  };
  auto call = [this, reply](Op op) {
    return [this, reply, op](const httplib::Request& req, httplib::Response& res) {
      std::optional<Json> args = req.method == "GET" ? Json(queryArgs(req, {"layer", "effect", "frame"}, {"full", "draft", "ahead"}))
                                                     : body(req, res);
      if (!args) return;
      const uint64_t seen = desktop_.changes();
      reply(res, engine_.submit(op, std::move(*args)), seen);
    };
  };
  s.Get("/api/describe", call(Op::Describe));
  s.Get("/api/frame", call(Op::Frame));
  s.Get("/api/params", call(Op::Params));
  s.Get("/api/controls", call(Op::Controls));
  s.Post("/api/param", call(Op::SetParam));
  s.Post("/api/pointer", call(Op::Pointer));
  s.Post("/api/about", call(Op::About));
  s.Post("/api/save", call(Op::Save));
  s.Get("/api/job", [reply](const httplib::Request& req, httplib::Response& res) {
    const Json args = queryArgs(req, {"id", "seen"}, {});
    if (!args.contains("id") || !args["id"].is_number_unsigned() || !args.contains("seen") ||
        !args["seen"].is_number_unsigned()) {
      refuse(res, 400, "\"id\" and \"seen\" are whole numbers");
      return;
    }
    reply(res, args["id"].get<uint64_t>(), args["seen"].get<uint64_t>());
  });

  // ---- what the server's threads answer themselves ----
  auto progressJson = [this] {
    const auto p = engine_.renderProgress();
    return Json{{"running", p.running}, {"done", p.done}, {"total", p.total},
                {"folder", p.folder}, {"error", p.error}, {"stopped", p.stopped}};
  };
  s.Get("/api/status", [this, progressJson](const httplib::Request&, httplib::Response& res) {
    send(res, 200,
         {{"modal", modalJson(desktop_.modal())},
          {"cursor", desktop_.cursor() == os::Cursor::Wait ? "wait" : "arrow"},
          {"changes", desktop_.changes()},
          {"render", progressJson()}});
  });
  s.Post("/api/render", [this, progressJson](const httplib::Request&, httplib::Response& res) {
    if (!engine_.startRender()) return refuse(res, 409, "a render is running");
    send(res, 202, {{"render", progressJson()}});
  });
  s.Post("/api/render/stop", [this](const httplib::Request&, httplib::Response& res) {
    engine_.stopRender();
    send(res, 200, {{"stopping", true}});
  });
  s.Post("/api/key", [this](const httplib::Request& req, httplib::Response& res) {
    const auto args = body(req, res);
    if (!args) return;
    if (!args->contains("key") || (*args)["key"] != "Escape") return refuse(res, 400, "\"key\" must be \"Escape\"");
    desktop_.pressKey(os::Key::Escape);
    send(res, 200, {{"pressed", "Escape"}});
  });
  s.Post("/api/modal", [this](const httplib::Request& req, httplib::Response& res) {
    const auto args = body(req, res);
    if (!args) return;
    const Json& a = *args;
    if (!a.contains("id") || !a["id"].is_number_unsigned()) return refuse(res, 400, "\"id\" is a whole number");
    const auto id = a["id"].get<uint64_t>();
    const std::string kind = a.value("kind", "");
    std::string why;
    if (kind == "alert") {
      why = desktop_.answerAlert(id);
    } else if (kind == "openFile") {
      if (a.contains("file") && !a["file"].is_string() && !a["file"].is_null()) return refuse(res, 400, "\"file\" is a path or null");
      why = desktop_.answerOpenFile(
          id, a.contains("file") && a["file"].is_string() ? std::optional(a["file"].get<std::string>()) : std::nullopt);
    } else if (kind == "dialog") {
      const std::string what = a.value("message", "");
      const std::string button = a.value("button", "left");
      if (what == "ok") {
        why = desktop_.sendDialogMessage(id, os::DialogMessage::command(os::kButtonOk));
      } else if (what == "click" && (button == "left" || button == "right" || button == "middle")) {
        const auto b = button == "left" ? os::MouseButton::Left : button == "right" ? os::MouseButton::Right : os::MouseButton::Middle;
        why = desktop_.sendDialogMessage(id, os::DialogMessage::mouseDown(b));
      } else {
        return refuse(res, 400, "\"message\" is \"ok\" or \"click\" with a \"button\"");
      }
    } else {
      return refuse(res, 400, "\"kind\" is \"alert\", \"openFile\" or \"dialog\"");
    }
    if (!why.empty()) return refuse(res, 409, why);
    send(res, 200, {{"answered", id}});
  });
  s.Get("/api/files", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string dir = req.get_param_value("dir");
    try {
      const auto listing = folder_.list(dir);
      Json entries = Json::array();
      for (const auto& e : listing.entries)
        entries.push_back({{"name", e.name}, {"folder", e.folder}, {"size", e.size}});
      send(res, 200, {{"dir", dir}, {"entries", entries}, {"omitted", listing.omitted}});
    } catch (const HostError& e) {
      refuse(res, 403, e.what());
    }
  });
}

}  // namespace vask::host
