// The studio's host thread: the one thread that calls plug-ins, as a host's
// main thread does. It owns the live composition (host/Composition.h), an
// effect-controls window (host/EffectControls.h) for each effect that has
// custom controls, the frames rendered for the viewer, and a render of the
// whole range to PNG files.
//
// The server's threads never touch any of that: they hand the host thread
// requests (submit) and wait for the replies (wait). A request that makes a
// plug-in show a box or a dialog stays unfinished until the page answers it
// (host/studio/WebDesktop.h); wait() returns early when what the desktop
// shows changes, so that the page can show it. When the queue is empty the
// host thread renders frames ahead of the one the viewer plays.
//
// Requests carry their arguments as JSON (what the page sent); a missing or
// malformed argument, a place that does not exist or a value a parameter
// cannot take gives a reply with status 400 and {"error": "..."}; the studio
// goes on.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/Project.h"
#include "host/World.h"
#include "host/studio/ProjectFolder.h"
#include "host/studio/WebDesktop.h"

namespace vask::host {

class Composition;
class EffectControls;

class StudioEngine {
 public:
  struct Reply {
    int status = 200;
    std::string contentType = "application/json";
    std::string body;
    // A frame, sent as PNG: the server's thread encodes it, so that the host
    // thread can go on with the next request meanwhile.
    std::shared_ptr<const World> picture;
  };

  enum class Op {
    Load,      // {} — loads the project; submitted by the constructor as ticket 1
    Describe,  // {} — the composition, its layers, effects and parameter tables
    Frame,     // {frame, full?, draft?, ahead?} — the frame at the preview size, at full size,
               // or at half the preview size while a drag goes on
    Params,    // {layer, effect, frame} — every value at the frame, with its keys
    SetParam,  // {layer, effect, index, frame, value?, keyed?}
    Controls,  // {layer, effect, frame} — the effect's custom controls drawn
    Pointer,   // {layer, effect, frame, kind: "down"|"move"|"up", x, y, shift?}
    About,     // {layer, effect} — the effect's About box
    Save,      // {as?} — the project file, or another one in its folder
    Render,    // {} — every frame to PNG files in the render folder
  };

  struct Options {
    std::vector<std::filesystem::path> plugins;  // defaultPluginFolders() when empty
    int32_t previewWidth = 960, previewHeight = 540;  // the viewer's largest size
    int32_t controlsWidth = 300;
    std::filesystem::path renderFolder;  // out/<project name> when empty
  };

  struct RenderProgress {
    bool running = false;
    int64_t done = 0, total = 0;
    std::string folder;
    std::string error;  // of the last render, when it failed
    bool stopped = false;  // the last render was stopped by the page
  };

  // Starts the host thread, which loads the project first (Op::Load, ticket
  // 1). `desktop` must be installed as the process's desktop by the caller
  // and outlive the engine.
  StudioEngine(std::filesystem::path project, const ProjectFolder& folder, WebDesktop& desktop,
               Options options);
  // Closes the desktop (host/studio/WebDesktop.h), so that no box waits for
  // the page, ends the host thread once the request it runs is done, and
  // sets every effect down.
  ~StudioEngine();
  StudioEngine(const StudioEngine&) = delete;
  StudioEngine& operator=(const StudioEngine&) = delete;

  // Queues a request; returns its ticket.
  uint64_t submit(Op op, Json args);

  struct Outcome {
    bool done = false;
    Reply reply;  // when done
  };
  // Waits up to `limit` for request `ticket` to finish, returning early
  // (not done) when the desktop's changes() differs from `desktopSeen`. A
  // finished reply is handed out once; an unknown ticket gives a 404 reply.
  Outcome wait(uint64_t ticket, std::chrono::milliseconds limit, uint64_t desktopSeen);

  RenderProgress renderProgress() const;
  // Queues a render of the whole range unless one is queued or running;
  // false when one is. From the call on, renderProgress() says it runs.
  bool startRender();
  // Asks a running render to stop after the frame in hand.
  void stopRender() { stopRender_ = true; }

 private:
  struct Window;
  void run();
  Reply handle(Op op, const Json& args);
  void renderAhead();
  void finish(uint64_t ticket, Reply reply);

  Json describe();
  Reply frame(const Json& args);
  Json params(const Json& args);
  Json setParam(const Json& args);
  Json controls(const Json& args);
  Json pointer(const Json& args);
  Json about(const Json& args);
  Json save(const Json& args);
  Json render();

  Window& window(std::size_t layer, std::size_t effect);
  Json windowJson(Window& w, bool redraw);
  void seek(int64_t frame);
  void edited();
  std::pair<int32_t, int32_t> previewSize() const;

  // Set at construction, then read-only.
  const std::filesystem::path projectFile_;
  const ProjectFolder& folder_;
  WebDesktop& desktop_;
  const Options options_;

  // The host thread's own.
  std::unique_ptr<Composition> composition_;
  std::map<std::pair<std::size_t, std::size_t>, std::unique_ptr<Window>> windows_;
  int64_t seeked_ = -1;     // the frame whose values the instances hold
  uint64_t version_ = 0;    // of the edits; frames rendered before an edit are stale
  std::map<int64_t, std::shared_ptr<const World>> ahead_;  // preview frames of this version
  int64_t aheadFrom_ = -1, aheadTo_ = -1;            // frames still to render ahead

  // Shared with the server's threads.
  mutable std::mutex mutex_;
  std::condition_variable queued_, finished_;
  std::deque<std::tuple<uint64_t, Op, Json>> queue_;
  std::map<uint64_t, Reply> replies_;
  uint64_t nextTicket_ = 1;
  uint64_t running_ = 0;  // the ticket the host thread runs now
  bool stopping_ = false;
  RenderProgress progress_;
  std::atomic<bool> stopRender_{false};
  std::thread thread_;  // last: starts once everything above exists
};

}  // namespace vask::host
