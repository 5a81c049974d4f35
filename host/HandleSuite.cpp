#include "host/HandleSuite.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <sstream>
#include <unordered_map>

namespace vask::host::handles {
namespace {

// The handle is &data, so `data` must stay the first member.
struct Record {
  void* data = nullptr;
  uint64_t size = 0;
  int32_t locks = 0;

  ~Record() { std::free(data); }
};
static_assert(offsetof(Record, data) == 0);

constexpr std::size_t kQuarantine = 4096;
constexpr std::size_t kKeptMessages = 1000;

struct Suite {
  std::mutex mutex;
  std::unordered_map<PF_Handle, std::unique_ptr<Record>> live;
  // Disposed records, oldest first, kept allocated so their addresses cannot
  // come back as new handles while they are here.
  std::deque<std::unique_ptr<Record>> quarantine;
  std::unordered_map<PF_Handle, Record*> dead;
  std::vector<std::string> messages;
  std::size_t violationCount = 0;
  int failNext = 0;
  std::size_t failAfter = 0;  // newHandle calls to pass before failNext applies
  std::size_t calls = 0;      // newHandle calls ever made
};

Suite& suite() {
  static Suite* s = new Suite;  // never destroyed: plug-ins may call in during exit
  return *s;
}

PF_Handle handleOf(Record* r) { return reinterpret_cast<PF_Handle>(&r->data); }

std::string describe(PF_Handle h) {
  std::ostringstream s;
  s << static_cast<const void*>(h);
  return s.str();
}

// Caller holds the mutex.
void record(Suite& s, const std::string& msg) {
  ++s.violationCount;
  if (s.messages.size() < kKeptMessages) s.messages.push_back(msg);
#ifndef NDEBUG
  std::fprintf(stderr, "vask host: handle violation: %s\n", msg.c_str());
#endif
}

void violation(Suite& s, const std::string& what, PF_Handle h) {
  const char* kind = !h ? "null handle" : s.dead.count(h) ? "disposed handle" : "unknown handle";
  record(s, what + " of " + kind + " " + describe(h));
}

Record* find(Suite& s, PF_Handle h) {
  auto it = s.live.find(h);
  return it == s.live.end() ? nullptr : it->second.get();
}

PF_Handle adopt(Suite& s, std::unique_ptr<Record> r) {
  PF_Handle h = handleOf(r.get());
  s.live.emplace(h, std::move(r));
  return h;
}

}  // namespace

PF_Handle newHandle(uint64_t size) {
  Suite& s = suite();
  std::lock_guard lock(s.mutex);
  ++s.calls;
  if (s.failNext > 0) {
    if (s.failAfter > 0) {
      --s.failAfter;
    } else {
      --s.failNext;
      return nullptr;
    }
  }
  auto r = std::make_unique<Record>();
  // A zero-sized block still gets an address, so `*h` is never null.
  r->data = std::calloc(size ? size : 1, 1);
  if (!r->data) return nullptr;
  r->size = size;
  return adopt(s, std::move(r));
}

uint64_t size(PF_Handle h) {
  Suite& s = suite();
  std::lock_guard lock(s.mutex);
  if (Record* r = find(s, h)) return r->size;
  violation(s, "size query", h);
  return 0;
}

void lock(PF_Handle h) {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  if (Record* r = find(s, h)) {
    ++r->locks;
    return;
  }
  violation(s, "lock", h);
}

void unlock(PF_Handle h) {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  Record* r = find(s, h);
  if (!r) return violation(s, "unlock", h);
  if (r->locks == 0) return record(s, "unlock below zero of handle " + describe(h));
  --r->locks;
}

void dispose(PF_Handle h) {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  auto it = s.live.find(h);
  if (it == s.live.end()) return violation(s, "dispose", h);
  std::unique_ptr<Record> r = std::move(it->second);
  s.live.erase(it);
  std::free(r->data);
  r->data = nullptr;
  r->size = 0;
  s.dead.emplace(h, r.get());
  s.quarantine.push_back(std::move(r));
  if (s.quarantine.size() > kQuarantine) {
    s.dead.erase(handleOf(s.quarantine.front().get()));
    s.quarantine.pop_front();
  }
}

PF_Err resize(uint64_t newSize, PF_Handle* hp) {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  PF_Handle h = hp ? *hp : nullptr;
  Record* r = find(s, h);
  if (!r) {
    violation(s, "resize", h);
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (r->locks > 0) return PF_Err_BAD_CALLBACK_PARAM;
  void* grown = std::realloc(r->data, newSize ? newSize : 1);
  if (!grown) return PF_Err_OUT_OF_MEMORY;
  if (newSize > r->size) std::memset(static_cast<char*>(grown) + r->size, 0, newSize - r->size);
  r->data = grown;
  r->size = newSize;
  return PF_Err_NONE;
}

bool isLive(PF_Handle h) {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  return find(s, h) != nullptr;
}

int32_t lockCount(PF_Handle h) {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  Record* r = find(s, h);
  return r ? r->locks : -1;
}

std::size_t liveCount() {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  return s.live.size();
}

std::span<std::byte> bytes(PF_Handle h) {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  Record* r = find(s, h);
  if (!r) return {};
  return {static_cast<std::byte*>(r->data), static_cast<std::size_t>(r->size)};
}

PF_Handle fromBytes(std::span<const std::byte> data) {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  auto r = std::make_unique<Record>();
  r->data = std::malloc(data.empty() ? 1 : data.size());
  if (!r->data) return nullptr;
  if (!data.empty()) std::memcpy(r->data, data.data(), data.size());
  r->size = data.size();
  return adopt(s, std::move(r));
}

std::vector<std::string> violations() {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  return s.messages;
}

std::size_t violationCount() {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  return s.violationCount;
}

void clearViolations() {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  s.messages.clear();
  s.violationCount = 0;
}

void failNextNewHandles(int count, std::size_t skip) {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  s.failNext = count > 0 ? count : 0;
  s.failAfter = s.failNext > 0 ? skip : 0;
}

std::size_t newHandleCalls() {
  Suite& s = suite();
  std::lock_guard guard(s.mutex);
  return s.calls;
}

}  // namespace vask::host::handles
