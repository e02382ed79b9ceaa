// Fuzz entry for the INI text core: lookups, the section list and the
// rewrite path, on in-memory streams that hand out bytes in odd-sized pieces.
//
// Input layout: a control byte, then three NUL-free fields (section, key,
// value) each ended by a NUL, then the file text.

#include "FuzzCheck.h"
#include "accounting/IniParser.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

// Reads in pieces of 1 to 64 bytes (the sizes cycle through a pattern taken
// from the input), so lines cross every kind of buffer refill.
class ChoppySource : public ini::Source {
public:
    ChoppySource(std::string_view text, std::uint8_t pattern) : m_text(text), m_pattern(pattern) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) override {
        const std::size_t step = m_pattern == 0 ? size : 1 + (m_pattern * (m_calls++ + 1)) % 64;
        ini::StringSource rest(m_text.substr(m_pos));
        const std::ptrdiff_t n = rest.read(buffer, std::min(size, step));
        m_pos += static_cast<std::size_t>(n);
        return n;
    }
    bool rewind() override {
        m_pos = 0;
        return true;
    }

private:
    std::string_view m_text;
    std::uint8_t m_pattern;
    std::size_t m_pos = 0;
    std::size_t m_calls = 0;
};

bool takeField(std::string_view& in, std::string_view& field) {
    const std::size_t end = in.find('\0');
    if (end == std::string_view::npos)
        return false;
    field = in.substr(0, end);
    in.remove_prefix(end + 1);
    return true;
}

std::string_view trimmedBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

std::optional<std::string> lookup(std::string_view text, std::uint8_t pattern,
                                  std::string_view section, std::string_view key) {
    ChoppySource in(text, pattern);
    return ini::findValue(in, section, key);
}

std::vector<std::string> names(std::string_view text, std::uint8_t pattern) {
    ChoppySource in(text, pattern);
    return ini::sectionNames(in);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    std::string_view in(reinterpret_cast<const char*>(data), size);
    const auto control = static_cast<std::uint8_t>(in.front());
    in.remove_prefix(1);
    std::string_view rawSection, rawKey, rawValue;
    if (!takeField(in, rawSection) || !takeField(in, rawKey) || !takeField(in, rawValue))
        return 0;
    std::string text(in);
    // The high bit grows the text past the 64 KiB buffer with one long line,
    // which small inputs never reach otherwise.
    if (control & 0x80) {
        const std::size_t at = text.empty() ? 0 : (control * std::size_t{7919}) % text.size();
        text.insert(at, std::string(ini::kChunkSize + (control & 0x0F) * std::size_t{97},
                                    static_cast<char>('a' + (control & 7))));
    }
    // Trickled reads of a 64 KiB line only rescan the buffer; whole reads
    // keep such inputs fast.
    const std::uint8_t pattern = (control & 0x80) ? 0 : control & 0x7F;

    // Names travel encoded; decoding gives back exactly what was encoded.
    const std::string section = ini::encodeName(rawSection, ini::NameKind::Section);
    const std::string key = ini::encodeName(rawKey, ini::NameKind::Key);
    check(ini::decodeName(section) == std::string(rawSection), "section name round trip");
    check(ini::decodeName(key) == std::string(rawKey), "key name round trip");

    // Lookups are bounded and cut at NUL.
    if (const auto v = lookup(text, pattern, section, key)) {
        check(v->size() <= ini::kMaxValueLength, "value length");
        check(v->find('\0') == std::string::npos, "value holds NUL");
    }
    const std::vector<std::string> before = names(text, pattern);

    // The rewrite: the old text around the edit is kept byte for byte, the
    // new value reads back, and no section appears or disappears except the
    // one being written.
    ChoppySource old(text, pattern);
    ini::Edit edit;
    const std::string value(rawValue.substr(0, rawValue.find_first_of("\r\n")));
    check(ini::planStore(old, section, key, value, edit), "plan on a readable stream");
    check(edit.keepUntil <= edit.resumeAt && edit.resumeAt <= text.size(), "edit range");
    check(old.rewind(), "rewind");
    ini::StringSink out;
    check(ini::applyEdit(old, edit, out), "apply on a readable stream");
    const std::string expected = text.substr(0, edit.keepUntil) + edit.insert +
                                 text.substr(static_cast<std::size_t>(edit.resumeAt));
    check(out.text() == expected, "rewrite keeps the bytes around the edit");

    // A second store planned on the first one's edited stream writes what
    // two stores one after the other write.
    {
        ChoppySource base(text, pattern);
        ini::EditedSource layered(base, edit);
        ini::Edit second;
        check(ini::planStore(layered, section, "Hours", "0", second), "plan on an edited stream");
        check(layered.rewind(), "rewind an edited stream");
        ini::StringSink both;
        check(ini::applyEdit(layered, second, both), "apply on an edited stream");
        ini::StringSource once(out.text());
        ini::Edit direct;
        check(ini::planStore(once, section, "Hours", "0", direct) && once.rewind(), "plan");
        ini::StringSink sequential;
        check(ini::applyEdit(once, direct, sequential), "apply");
        check(both.text() == sequential.text(), "edited stream equals the written text");
    }

    // Storing in every listed section in one pass writes what storing in
    // each of them in turn writes.
    if (text.size() < 8192) {
        const std::vector<std::pair<std::string, std::string>> values{{"Hours", "0"},
                                                                      {"Minutes", value}};
        ChoppySource all(text, pattern);
        std::vector<ini::Edit> edits;
        check(ini::planStoreInEverySection(all, values, edits), "plan in every section");
        check(all.rewind(), "rewind");
        ini::StringSink batch;
        check(ini::applyEdits(all, edits, batch), "apply in every section");
        std::string sequential = text;
        for (const std::string& name : before) {
            for (const auto& [k, v] : values) {
                ini::StringSource in(sequential);
                ini::Edit e;
                const std::string stored = ini::encodeName(name, ini::NameKind::Section);
                check(ini::planStore(in, stored, k, v, e) && in.rewind(), "plan one");
                ini::StringSink one;
                check(ini::applyEdit(in, e, one), "apply one");
                sequential = one.text();
            }
        }
        check(batch.text() == sequential, "one pass equals section by section");
    }

    if (section.size() <= ini::kMaxNameLength && key.size() <= ini::kMaxNameLength) {
        const auto back = lookup(out.text(), pattern, section, key);
        std::string_view want = trimmedBlanks(value);
        want = want.substr(0, want.find('\0'));
        want = want.substr(0, ini::kMaxValueLength);
        check(back && *back == want, "stored value reads back");

        std::vector<std::string> after = names(out.text(), pattern);
        std::vector<std::string> withNew = before;
        if (std::find(before.begin(), before.end(), std::string(rawSection)) == before.end() &&
            after.size() == before.size() + 1)
            withNew.emplace_back(rawSection);
        check(after == withNew, "section list unchanged but for the new section");
    }
    return 0;
}
