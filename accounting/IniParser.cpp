#include "IniParser.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_set>

namespace ini {

// ---- Streams ----

std::ptrdiff_t StringSource::read(char* buffer, std::size_t size) {
    const std::size_t n = std::min(size, m_text.size() - m_pos);
    std::memcpy(buffer, m_text.data() + m_pos, n);
    m_pos += n;
    return static_cast<std::ptrdiff_t>(n);
}

bool StringSource::rewind() {
    m_pos = 0;
    return true;
}

bool StringSink::write(const char* data, std::size_t size) {
    m_text.append(data, size);
    return true;
}

// ---- Lines ----

namespace {
constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
} // namespace

LineReader::LineReader(Source& source) : m_source(source), m_buffer(new char[kChunkSize]) {}

bool LineReader::fill() {
    const std::ptrdiff_t n = m_source.read(m_buffer.get() + m_end, kChunkSize - m_end);
    if (n < 0) {
        m_failed = true;
        return false;
    }
    if (n == 0)
        m_eof = true;
    m_end += static_cast<std::size_t>(n);
    return true;
}

void LineReader::finish(Line& line, std::string_view text, std::uint64_t start,
                        std::uint64_t length, bool hasNewline, bool endsInCr) {
    // `length` counts the whole line without its LF; a CR before the LF (or
    // a lone CR at the very end) belongs to the line ending.
    const std::uint64_t contentLength = length - (endsInCr ? 1 : 0);
    line.start = start;
    line.contentEnd = start + contentLength;
    line.end = start + length + (hasNewline ? 1 : 0);
    line.hasNewline = hasNewline;
    line.crlf = hasNewline && endsInCr;
    if (text.size() > contentLength)
        text = text.substr(0, static_cast<std::size_t>(contentLength));
    line.truncated = text.size() < contentLength;
    if (m_first) {
        m_first = false;
        if (text.substr(0, kBom.size()) == kBom) {
            text.remove_prefix(kBom.size());
            line.start += kBom.size();
        }
    }
    line.text = text;
}

bool LineReader::next(Line& line) {
    if (m_failed)
        return false;
    for (;;) {
        const char* data = m_buffer.get() + m_begin;
        const std::size_t available = m_end - m_begin;
        if (const void* nl = std::memchr(data, '\n', available)) {
            const std::size_t length =
                static_cast<std::size_t>(static_cast<const char*>(nl) - data);
            const bool cr = length > 0 && data[length - 1] == '\r';
            finish(line, std::string_view(data, length), m_bufferOffset + m_begin, length, true,
                   cr);
            m_begin += length + 1;
            return true;
        }
        if (m_eof) {
            if (available == 0)
                return false;
            const bool cr = data[available - 1] == '\r';
            finish(line, std::string_view(data, available), m_bufferOffset + m_begin, available,
                   false, cr);
            m_begin = m_end;
            return true;
        }
        if (m_begin > 0) {
            std::memmove(m_buffer.get(), data, available);
            m_bufferOffset += m_begin;
            m_begin = 0;
            m_end = available;
        }
        if (m_end == kChunkSize)
            return nextLongLine(line);
        if (!fill())
            return false;
    }
}

// The buffer is full and holds no line break: keep a copy of the head and
// skip the rest of the line.
bool LineReader::nextLongLine(Line& line) {
    m_head.assign(m_buffer.get(), m_end);
    const std::uint64_t start = m_bufferOffset;
    char last = m_buffer[m_end - 1];
    for (;;) {
        m_bufferOffset += m_end;
        m_begin = m_end = 0;
        if (!fill())
            return false;
        if (const void* nl = std::memchr(m_buffer.get(), '\n', m_end)) {
            const std::size_t at =
                static_cast<std::size_t>(static_cast<const char*>(nl) - m_buffer.get());
            if (at > 0)
                last = m_buffer[at - 1];
            const std::uint64_t length = m_bufferOffset + at - start;
            finish(line, m_head, start, length, true, last == '\r');
            m_begin = at + 1;
            return true;
        }
        if (m_end > 0)
            last = m_buffer[m_end - 1];
        if (m_eof) {
            const std::uint64_t length = m_bufferOffset + m_end - start;
            finish(line, m_head, start, length, false, last == '\r');
            m_begin = m_end;
            return true;
        }
    }
}

// ---- What a line holds ----

namespace {
struct Parsed {
    enum Kind { Blank, Comment, Section, Key, Other } kind = Other;
    std::string_view name;
    bool nameComplete = true; // false: a section name cut off with the line
    std::size_t valuePos = 0; // keys: offset in the line just past the '='
};

Parsed parse(const Line& line) {
    Parsed p;
    const std::string_view t = line.text;
    std::size_t i = 0;
    while (i < t.size() && isBlank(t[i]))
        ++i;
    if (i == t.size()) {
        // A long line may go on with text beyond its head.
        p.kind = line.truncated ? Parsed::Other : Parsed::Blank;
        return p;
    }
    if (t[i] == ';') {
        p.kind = Parsed::Comment;
        return p;
    }
    if (t[i] == '[') {
        const std::size_t close = t.find(']', i + 1);
        if (close != std::string_view::npos) {
            p.kind = Parsed::Section;
            p.name = trimmed(t.substr(i + 1, close - i - 1));
            return p;
        }
        if (line.truncated) {
            // The ']' may lie beyond the head: still a section boundary, but
            // one whose name nobody can look up.
            p.kind = Parsed::Section;
            p.nameComplete = false;
            return p;
        }
    }
    const std::size_t eq = t.find('=', i);
    if (eq == std::string_view::npos)
        return p;
    p.kind = Parsed::Key;
    p.name = trimmed(t.substr(i, eq - i));
    p.valuePos = eq + 1;
    return p;
}

// Outside the section of interest only section lines matter; this spares
// the full parse of every other line.
bool mayStartSection(const Line& line) {
    for (char c : line.text)
        if (!isBlank(c))
            return c == '[';
    return false;
}

bool isSectionStart(const Parsed& p, std::string_view section) {
    return p.kind == Parsed::Section && p.nameComplete && equalsIgnoringCase(p.name, section);
}

bool isUnreservedByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '~' || c == '-';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool hasEncodedPrefix(std::string_view name) {
    return name.size() >= kEncodedPrefix.size() &&
           equalsIgnoringCase(name.substr(0, kEncodedPrefix.size()), kEncodedPrefix);
}

bool isStorable(std::string_view name, NameKind kind) {
    if (name.empty() || isBlank(name.front()) || isBlank(name.back()) || hasEncodedPrefix(name))
        return false;
    if (kind == NameKind::Key && (name.front() == '[' || name.front() == ';'))
        return false;
    const char closing = kind == NameKind::Section ? ']' : '=';
    for (char c : name)
        if (c == closing || c == '\r' || c == '\n' || c == '\0')
            return false;
    return true;
}
} // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    return true;
}

std::string encodeName(std::string_view name, NameKind kind) {
    if (isStorable(name, kind))
        return std::string(name);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out(kEncodedPrefix);
    for (char ch : name) {
        const auto c = static_cast<unsigned char>(ch);
        if (isUnreservedByte(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

std::optional<std::string> decodeName(std::string_view stored) {
    if (!hasEncodedPrefix(stored))
        return std::string(stored);
    std::string out;
    for (std::size_t i = kEncodedPrefix.size(); i < stored.size(); ++i) {
        const char c = stored[i];
        if (c != '%') {
            if (!isUnreservedByte(static_cast<unsigned char>(c)))
                return std::nullopt;
            out += c;
            continue;
        }
        const int hi = i + 2 < stored.size() ? hexValue(stored[i + 1]) : -1;
        const int lo = hi >= 0 ? hexValue(stored[i + 2]) : -1;
        if (lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

// ---- Operations ----

std::optional<std::string> findValue(Source& in, std::string_view section, std::string_view key) {
    LineReader reader(in);
    Line line;
    bool inSection = false;
    while (reader.next(line)) {
        if (!inSection && !mayStartSection(line))
            continue;
        const Parsed p = parse(line);
        if (p.kind == Parsed::Section) {
            if (inSection)
                return std::nullopt; // only the first matching section counts
            inSection = isSectionStart(p, section);
            continue;
        }
        if (!inSection || p.kind != Parsed::Key || !equalsIgnoringCase(p.name, key))
            continue;
        std::string_view value = trimmed(line.text.substr(p.valuePos));
        value = value.substr(0, value.find('\0'));
        return std::string(value.substr(0, kMaxValueLength));
    }
    return std::nullopt;
}

namespace {

// The decoded name when `p` starts a section that sectionNames() lists: the
// first of its stored name in any letter case, and one a store would find.
std::optional<std::string> listedSection(const Parsed& p, std::unordered_set<std::string>& seen) {
    if (p.kind != Parsed::Section || !p.nameComplete || p.name.size() > kMaxNameLength)
        return std::nullopt;
    std::string folded(p.name);
    std::transform(folded.begin(), folded.end(), folded.begin(), lowerAscii);
    if (!seen.insert(std::move(folded)).second)
        return std::nullopt;
    std::optional<std::string> name = decodeName(p.name);
    if (name && equalsIgnoringCase(encodeName(*name, NameKind::Section), p.name))
        return name;
    return std::nullopt;
}

} // namespace

std::vector<std::string> sectionNames(Source& in) {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen; // stored names in lower case
    LineReader reader(in);
    Line line;
    while (reader.next(line)) {
        if (!mayStartSection(line))
            continue;
        if (std::optional<std::string> name = listedSection(parse(line), seen))
            names.push_back(std::move(*name));
    }
    return names;
}

std::vector<SectionValues> sectionValues(Source& in, const std::vector<std::string>& keys) {
    std::vector<SectionValues> sections;
    std::unordered_set<std::string> seen;
    LineReader reader(in);
    Line line;
    bool inListed = false; // the lines belong to the last of `sections`
    while (reader.next(line)) {
        if (!inListed && !mayStartSection(line))
            continue;
        const Parsed p = parse(line);
        if (p.kind == Parsed::Section) {
            std::optional<std::string> name = listedSection(p, seen);
            inListed = name.has_value();
            if (inListed)
                sections.push_back(
                    {std::move(*name), std::vector<std::optional<std::string>>(keys.size())});
            continue;
        }
        if (!inListed || p.kind != Parsed::Key)
            continue;
        auto& values = sections.back().values;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (values[i] || keys[i].size() > kMaxNameLength ||
                !equalsIgnoringCase(p.name, keys[i]))
                continue;
            std::string_view value = trimmed(line.text.substr(p.valuePos));
            value = value.substr(0, value.find('\0'));
            values[i] = std::string(value.substr(0, kMaxValueLength));
            break;
        }
    }
    return sections;
}

bool planStore(Source& in, std::string_view section, std::string_view key, std::string_view value,
               Edit& edit) {
    LineReader reader(in);
    Line line;
    std::string ending;
    bool found = false;
    bool inSection = false;
    std::uint64_t insertAt = 0;    // past the section's last non-blank line
    bool insertNeedsBreak = false; // that line is the last and lacks a line break
    bool insertAfterCr = false;    // ... and ends in a lone CR
    std::uint64_t fileEnd = 0;
    bool endNeedsBreak = false;
    bool endAfterCr = false;

    auto keepInsertPoint = [&] {
        insertAt = line.end;
        insertNeedsBreak = !line.hasNewline;
        insertAfterCr = !line.hasNewline && line.contentEnd < line.end;
    };

    while (reader.next(line)) {
        if (ending.empty() && line.hasNewline)
            ending = line.crlf ? "\r\n" : "\n";
        fileEnd = line.end;
        endNeedsBreak = !line.hasNewline && line.end > line.start;
        endAfterCr = !line.hasNewline && line.contentEnd < line.end;
        if (!inSection && !mayStartSection(line))
            continue;

        const Parsed p = parse(line);
        if (p.kind == Parsed::Section) {
            if (inSection)
                break;
            if (!found && isSectionStart(p, section)) {
                found = inSection = true;
                keepInsertPoint();
            }
            continue;
        }
        if (!inSection)
            continue;
        if (p.kind == Parsed::Key && equalsIgnoringCase(p.name, key)) {
            std::size_t valueStart = p.valuePos; // blanks after the '=' stay too
            while (valueStart < line.text.size() && isBlank(line.text[valueStart]))
                ++valueStart;
            edit.keepUntil = line.start + valueStart;
            edit.insert = std::string(value);
            edit.resumeAt = line.contentEnd;
            return true;
        }
        if (p.kind != Parsed::Blank)
            keepInsertPoint();
    }
    if (reader.failed())
        return false;
    if (ending.empty())
        ending = "\n";
    // A last line that ends in a lone CR needs only the LF.
    auto lineBreak = [&](bool needed, bool afterCr) {
        return !needed ? std::string() : afterCr ? std::string("\n") : ending;
    };
    std::string entry = std::string(key) + "=" + std::string(value) + ending;
    if (found) {
        edit.keepUntil = edit.resumeAt = insertAt;
        edit.insert = lineBreak(insertNeedsBreak, insertAfterCr) + entry;
    } else {
        edit.keepUntil = edit.resumeAt = fileEnd;
        edit.insert = lineBreak(endNeedsBreak, endAfterCr) + "[" + std::string(section) + "]" +
                      ending + entry;
    }
    return true;
}

bool planStoreInEverySection(Source& in,
                             const std::vector<std::pair<std::string, std::string>>& values,
                             std::vector<Edit>& edits) {
    edits.clear();
    LineReader reader(in);
    Line line;
    std::string ending;
    std::unordered_set<std::string> seen; // stored section names in lower case

    // The section being planned.
    bool inTarget = false;
    std::vector<bool> found(values.size());
    std::uint64_t insertAt = 0;
    bool insertNeedsBreak = false;
    bool insertAfterCr = false;
    auto keepInsertPoint = [&] {
        insertAt = line.end;
        insertNeedsBreak = !line.hasNewline;
        insertAfterCr = !line.hasNewline && line.contentEnd < line.end;
    };
    // The keys it lacks go after its last non-blank line, in the given order.
    auto finishTarget = [&] {
        if (!inTarget)
            return;
        inTarget = false;
        std::string insert;
        std::string lineEnd = ending.empty() ? "\n" : ending;
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (found[i])
                continue;
            const bool first = insert.empty();
            if (first && insertNeedsBreak)
                insert = insertAfterCr ? "\n" : lineEnd;
            insert += values[i].first + "=" + values[i].second + lineEnd;
            // A text of one line that ends in a lone CR has no line ending
            // until the first store completes it to CR LF; stores after it
            // take that one.
            if (first && ending.empty() && insertNeedsBreak && insertAfterCr)
                lineEnd = "\r\n";
        }
        if (!insert.empty())
            edits.push_back({insertAt, std::move(insert), insertAt});
    };

    while (reader.next(line)) {
        if (ending.empty() && line.hasNewline)
            ending = line.crlf ? "\r\n" : "\n";
        if (!inTarget && !mayStartSection(line))
            continue;
        const Parsed p = parse(line);
        if (p.kind == Parsed::Section) {
            finishTarget();
            // The sections that sectionNames() lists, and that a store to
            // their decoded name would find.
            if (!p.nameComplete || p.name.size() > kMaxNameLength)
                continue;
            std::string folded(p.name);
            std::transform(folded.begin(), folded.end(), folded.begin(), lowerAscii);
            if (!seen.insert(std::move(folded)).second)
                continue;
            const std::optional<std::string> name = decodeName(p.name);
            if (!name || !equalsIgnoringCase(encodeName(*name, NameKind::Section), p.name))
                continue;
            inTarget = true;
            std::fill(found.begin(), found.end(), false);
            keepInsertPoint();
            continue;
        }
        if (!inTarget)
            continue;
        if (p.kind == Parsed::Key) {
            for (std::size_t i = 0; i < values.size(); ++i) {
                if (found[i] || !equalsIgnoringCase(p.name, values[i].first))
                    continue;
                found[i] = true;
                std::size_t valueStart = p.valuePos;
                while (valueStart < line.text.size() && isBlank(line.text[valueStart]))
                    ++valueStart;
                edits.push_back({line.start + valueStart, values[i].second, line.contentEnd});
                break;
            }
        }
        if (p.kind != Parsed::Blank)
            keepInsertPoint();
    }
    if (reader.failed())
        return false;
    finishTarget();
    return true;
}

bool applyEdits(Source& in, const std::vector<Edit>& edits, Sink& out) {
    const std::unique_ptr<char[]> buffer(new char[kChunkSize]);
    std::uint64_t offset = 0; // of buffer[0] in the old text
    std::size_t next = 0;     // the first edit not yet written
    std::uint64_t skipUntil = 0;
    for (;;) {
        const std::ptrdiff_t n = in.read(buffer.get(), kChunkSize);
        if (n < 0)
            return false;
        const std::uint64_t chunkEnd = offset + static_cast<std::uint64_t>(n);
        std::uint64_t pos = std::max(offset, skipUntil);
        // Every edit that starts within this chunk, or at its end.
        while (next < edits.size() && edits[next].keepUntil <= chunkEnd) {
            const Edit& e = edits[next++];
            if (e.keepUntil > pos && !out.write(buffer.get() + (pos - offset), e.keepUntil - pos))
                return false;
            if (!out.write(e.insert.data(), e.insert.size()))
                return false;
            skipUntil = e.resumeAt;
            pos = std::max(pos, std::min(chunkEnd, std::max(e.keepUntil, skipUntil)));
        }
        if (pos < chunkEnd && !out.write(buffer.get() + (pos - offset), chunkEnd - pos))
            return false;
        if (n == 0)
            return next == edits.size();
        offset = chunkEnd;
    }
}

bool applyEdit(Source& in, const Edit& edit, Sink& out) {
    const std::unique_ptr<char[]> buffer(new char[kChunkSize]);
    std::uint64_t offset = 0;
    bool inserted = false;
    for (;;) {
        const std::ptrdiff_t n = in.read(buffer.get(), kChunkSize);
        if (n < 0)
            return false;
        const std::uint64_t chunkEnd = offset + static_cast<std::uint64_t>(n);
        // Old bytes of this chunk before the edit and after the skipped part.
        const std::uint64_t keepEnd = std::min(chunkEnd, std::max(offset, edit.keepUntil));
        if (keepEnd > offset && !out.write(buffer.get(), keepEnd - offset))
            return false;
        if (!inserted && chunkEnd >= edit.keepUntil) {
            if (!out.write(edit.insert.data(), edit.insert.size()))
                return false;
            inserted = true;
        }
        const std::uint64_t resume = std::max(offset, edit.resumeAt);
        if (inserted && resume < chunkEnd &&
            !out.write(buffer.get() + (resume - offset), chunkEnd - resume))
            return false;
        if (n == 0)
            return inserted;
        offset = chunkEnd;
    }
}

std::ptrdiff_t EditedSource::read(char* buffer, std::size_t size) {
    if (size == 0)
        return 0;
    // The kept head.
    if (m_inPos < m_edit.keepUntil) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, m_edit.keepUntil - m_inPos));
        const std::ptrdiff_t n = m_in.read(buffer, want);
        if (n <= 0)
            return n < 0 ? -1 : 0;
        m_inPos += static_cast<std::uint64_t>(n);
        return n;
    }
    // The inserted text.
    if (m_insertPos < m_edit.insert.size()) {
        const std::size_t n = std::min(size, m_edit.insert.size() - m_insertPos);
        std::memcpy(buffer, m_edit.insert.data() + m_insertPos, n);
        m_insertPos += n;
        return static_cast<std::ptrdiff_t>(n);
    }
    // Skip the replaced bytes, then the old tail.
    while (!m_skipped && m_inPos < m_edit.resumeAt) {
        const auto want =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, m_edit.resumeAt - m_inPos));
        const std::ptrdiff_t n = m_in.read(buffer, want);
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        m_inPos += static_cast<std::uint64_t>(n);
    }
    m_skipped = true;
    const std::ptrdiff_t n = m_in.read(buffer, size);
    if (n > 0)
        m_inPos += static_cast<std::uint64_t>(n);
    return n;
}

bool EditedSource::rewind() {
    m_inPos = 0;
    m_insertPos = 0;
    m_skipped = false;
    return m_in.rewind();
}

} // namespace ini
