#include "platform/os/DialogTemplate.h"

#include <charconv>
#include <ostream>

namespace vask::os {
namespace {

constexpr int kMaxUnits = 32767;

// One line split into words; a double-quoted word keeps its spaces.
struct Words {
    std::vector<std::string> items;
    std::vector<bool> quoted;
};

bool split(std::string_view line, Words& out, std::string& why) {
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        std::string word;
        if (line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char c = line[i++];
                if (c == '"') {
                    closed = true;
                    break;
                }
                if (c == '\\' && i < line.size()) {
                    const char e = line[i++];
                    word += e == 'n' ? '\n' : e;
                } else {
                    word += c;
                }
            }
            if (!closed) {
                why = "a text without its closing quote";
                return false;
            }
            out.items.push_back(std::move(word));
            out.quoted.push_back(true);
            continue;
        }
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') word += line[i++];
        out.items.push_back(std::move(word));
        out.quoted.push_back(false);
    }
    return true;
}

bool number(const std::string& s, int min, int& out) {
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc{} || end != s.data() + s.size() || v < min || v > kMaxUnits) return false;
    out = v;
    return true;
}

// The id and the four sizes after a control's keyword.
bool placement(const Words& w, DialogControl& c, std::string& why) {
    if (w.items.size() < 6 || !number(w.items[1], -1, c.id) || !number(w.items[2], 0, c.x) ||
        !number(w.items[3], 0, c.y) || !number(w.items[4], 0, c.width) || !number(w.items[5], 0, c.height)) {
        why = w.items[0] + " needs an id and x, y, width and height in dialog units";
        return false;
    }
    return true;
}

bool parseLine(const Words& w, DialogTemplate& d, bool first, std::string& why) {
    const std::string& key = w.items[0];
    if (first != (key == "DIALOG")) {
        why = first ? "a description starts with its DIALOG line" : "a second DIALOG line";
        return false;
    }
    if (key == "DIALOG") {
        if (w.items.size() != 4 || w.items[1].empty() || !number(w.items[2], 1, d.width) ||
            !number(w.items[3], 1, d.height)) {
            why = "DIALOG needs a name, a width and a height";
            return false;
        }
        d.name = w.items[1];
        return true;
    }
    if (key == "STYLE") {
        static constexpr std::pair<std::string_view, DialogStyle> kWords[] = {
            {"popup", kDialogPopup},       {"visible", kDialogVisible},
            {"modalframe", kDialogModalFrame}, {"centered", kDialogCentered},
            {"nocaption", kDialogNoCaption}};
        for (std::size_t i = 1; i < w.items.size(); ++i) {
            bool known = false;
            for (const auto& [word, bit] : kWords) {
                if (w.items[i] == word) {
                    d.style |= bit;
                    known = true;
                }
            }
            if (!known) {
                why = "unknown style \"" + w.items[i] + "\"";
                return false;
            }
        }
        return true;
    }
    if (key == "FONT") {
        if (w.items.size() != 3 || !number(w.items[1], 1, d.fontPoints)) {
            why = "FONT needs a size in points and a name";
            return false;
        }
        d.font = w.items[2];
        return true;
    }
    DialogControl c;
    if (key == "LTEXT") {
        if (!placement(w, c, why)) return false;
        std::size_t next = 6;
        if (next < w.items.size() && !w.quoted[next] && w.items[next] == "group") {
            c.group = true;
            ++next;
        }
        if (next + 1 != w.items.size() || !w.quoted[next]) {
            why = "LTEXT ends with its text in double quotes";
            return false;
        }
        c.text = w.items[next];
    } else if (key == "BITMAP") {
        c.kind = DialogControl::Kind::Picture;
        if (!placement(w, c, why)) return false;
        if (w.items.size() != 7 || !number(w.items[6], 0, c.picture)) {
            why = "BITMAP ends with the number of its picture";
            return false;
        }
    } else {
        why = "unknown item \"" + key + "\"";
        return false;
    }
    d.controls.push_back(std::move(c));
    return true;
}

}  // namespace

const DialogControl* DialogTemplate::control(int id) const {
    for (const DialogControl& c : controls)
        if (c.id == id) return &c;
    return nullptr;
}

std::optional<DialogTemplate> parseDialogTemplate(std::span<const std::byte> bytes, std::string* why) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    DialogTemplate d;
    std::size_t start = 0;
    int lineNumber = 0;
    bool first = true;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        Words words;
        std::string reason;
        if (!split(line, words, reason) ||
            (!words.items.empty() && !parseLine(words, d, first, reason))) {
            if (why) *why = "line " + std::to_string(lineNumber) + ": " + reason;
            return std::nullopt;
        }
        if (!words.items.empty()) first = false;
        if (end == text.size()) break;
    }
    if (first) {
        if (why) *why = "no DIALOG line";
        return std::nullopt;
    }
    return d;
}

std::ostream& operator<<(std::ostream& out, const DialogTemplate& d) {
    out << "DialogTemplate{" << d.name << ' ' << d.width << 'x' << d.height << ", " << d.font << ' '
        << d.fontPoints << ", " << d.controls.size() << " controls}";
    return out;
}

}  // namespace vask::os
