// The studio's web server: the page and its requests, on the loopback
// address only.
//
// Every request must carry the studio's token, as the "token" query
// parameter or the X-Vask-Token header; the comparison takes the same time
// however much of a wrong token matches. Bodies are at most kMaxBody bytes
// and URLs and headers are bounded by the HTTP library; a request that is
// malformed, too large, or names a place outside the project's folder gets
// its 4xx reply, and the studio goes on serving.
//
// Requests that involve plug-ins go to the host thread (StudioEngine) and
// wait for it. When a plug-in shows a box, a dialog or the wait cursor
// meanwhile, the reply is 202 {"pending": ticket, "modal": …, "cursor": …,
// "changes": n}; the page shows what it says and asks /api/job for the rest.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "host/studio/ProjectFolder.h"
#include "host/studio/StudioEngine.h"
#include "host/studio/WebDesktop.h"

namespace httplib {
class Server;
}

namespace vask::host {

class StudioServer {
 public:
  static constexpr std::size_t kMaxBody = std::size_t{1} << 20;

  StudioServer(StudioEngine& engine, WebDesktop& desktop, const ProjectFolder& folder, std::string token);
  ~StudioServer();  // stop()
  StudioServer(const StudioServer&) = delete;
  StudioServer& operator=(const StudioServer&) = delete;

  // Binds 127.0.0.1:`port` (0: a free port the system picks) and starts
  // serving on threads of the server's own. Returns the port. Throws
  // HostError when the port cannot be had.
  int start(int port);
  // Stops serving and joins the server's threads. Safe to call twice.
  void stop();

  // http://127.0.0.1:PORT/?token=TOKEN
  std::string url() const;

 private:
  void routes();

  StudioEngine& engine_;
  WebDesktop& desktop_;
  const ProjectFolder& folder_;
  const std::string token_;
  std::unique_ptr<httplib::Server> http_;
  std::thread listener_;
  std::atomic<bool> listenerDone_{false};
  int port_ = 0;
};

// A new random token: 32 hexadecimal digits from the system's random source.
std::string makeToken();
// `given` equals `expected`, in time that depends only on expected's length.
bool sameToken(std::string_view given, std::string_view expected);

}  // namespace vask::host
