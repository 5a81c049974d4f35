#include "platform/os/SystemMessage.h"

#include <array>
#include <cstring>
#include <map>
#include <mutex>

namespace vask::os {
namespace {

struct Overrides {
    std::mutex mutex;
    std::map<int, std::optional<std::string>> texts;
};

Overrides& overrides() {
    static Overrides* instance = new Overrides;  // never destroyed: usable from exit-time code
    return *instance;
}

// strerror_r comes in two shapes: the XSI one returns 0 and fills the buffer,
// the GNU one returns the text (possibly a static string, not the buffer).
[[maybe_unused]] const char* errorText(int result, const char* buffer) {
    return result == 0 ? buffer : nullptr;
}
[[maybe_unused]] const char* errorText(const char* result, const char*) { return result; }

bool systemKnows(int code, const char* text) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 32))
    (void)text;
    // glibc invents "Unknown error N" for codes it has no text for (translated
    // in some locales); strerrordesc_np tells the two apart reliably.
    return strerrordesc_np(code) != nullptr;
#else
    return code >= 0 && std::strncmp(text, "Unknown error", 13) != 0;
#endif
}

}  // namespace

std::optional<std::string> systemMessage(int code) {
    {
        Overrides& state = overrides();
        std::lock_guard lock(state.mutex);
        if (auto found = state.texts.find(code); found != state.texts.end()) return found->second;
    }
    std::array<char, 256> buffer{};
    const char* text = errorText(strerror_r(code, buffer.data(), buffer.size()), buffer.data());
    if (text == nullptr || *text == '\0' || !systemKnows(code, text)) return std::nullopt;
    return std::string(text);
}

namespace testing {

void setSystemMessage(int code, std::optional<std::string> text) {
    Overrides& state = overrides();
    std::lock_guard lock(state.mutex);
    state.texts[code] = std::move(text);
}

void clearSystemMessages() {
    Overrides& state = overrides();
    std::lock_guard lock(state.mutex);
    state.texts.clear();
}

}  // namespace testing
}  // namespace vask::os
