#include "host/studio/StudioCommand.h"

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>
#include <utility>

#include "host/HostError.h"
#include "host/Interruption.h"
#include "host/studio/ProjectFolder.h"
#include "host/studio/StudioEngine.h"
#include "host/studio/StudioServer.h"
#include "host/studio/WebDesktop.h"

extern char** environ;

namespace vask::host {
namespace {

using namespace std::chrono_literals;

// Hands `url` to the desktop's browser; the studio works without one.
bool openBrowser(const std::string& url) {
  pid_t pid = 0;
  const char* argv[] = {"xdg-open", url.c_str(), nullptr};
  if (::posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) return false;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int runStudio(const StudioRequest& request, std::ostream& out, std::ostream& err) {
  InterruptHandling interrupts;
  clearStopRequest();
  try {
    std::filesystem::path where = request.project.parent_path();
    if (where.empty()) where = ".";
    ProjectFolder folder(where);
    WebDesktop desktop(folder);
    os::ScopedDesktop shown(desktop);
    StudioEngine::Options options;
    options.plugins = request.plugins;
    StudioEngine engine(request.project, folder, desktop, options);
    StudioServer server(engine, desktop, folder, makeToken());
    server.start(request.port);
    bool announced = false;
    auto announce = [&] {
      if (std::exchange(announced, true)) return;
      out << "vask studio: " << request.project.string() << " at " << server.url() << "\n"
          << "vask studio: Ctrl-C stops it\n";
      out.flush();
      if (request.open && !openBrowser(server.url())) {
        err << "vask studio: no browser could be opened; open the address above\n";
      }
    };

    // The project loads on the host thread. Its address is given once it has
    // loaded, so that a project that cannot load is reported alone, or as
    // soon as a plug-in needs the page to answer a box meanwhile.
    for (uint64_t seen = desktop.changes();;) {
      const auto loaded = engine.wait(1, 200ms, seen);
      seen = desktop.changes();
      if (loaded.done) {
        if (loaded.reply.status != 200) {
          const Json j = Json::parse(loaded.reply.body, nullptr, false);
          err << "vask: " << (j.is_object() ? j.value("error", loaded.reply.body) : loaded.reply.body) << "\n";
          desktop.close();
          return 1;
        }
        const Json j = Json::parse(loaded.reply.body, nullptr, false);
        if (j.is_object() && j.contains("warnings"))
          for (const auto& w : j["warnings"]) err << "vask: warning: " << w.get<std::string>() << "\n";
        break;
      }
      if (desktop.modal()) announce();
      if (stopRequested()) {
        desktop.close();
        return 128 + stopRequested();
      }
    }
    announce();
    while (!stopRequested()) std::this_thread::sleep_for(100ms);
    server.stop();
    desktop.close();
    out << "vask studio: stopped\n";
    return 0;
  } catch (const std::exception& e) {
    err << "vask: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace vask::host
