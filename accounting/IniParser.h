#pragma once
// The INI text core: finds, lists and rewrites entries of INI text read from
// any byte stream, so files and in-memory text go through the same code. File
// access lives in IniFileSystem, the accessor with its names and value forms
// in IniFile.
//
// Reading rules: a line whose first non-blank character is '[' and that holds
// a ']' starts a section named by the text between them; ';' starts a comment;
// any other line with an '=' is a key; lines without '=' are ignored. Section
// and key names match without regard to ASCII case, and the first of
// duplicate sections or keys wins. Names and values lose surrounding blanks
// (space and tab). Lines end in LF or CRLF, a final line break is optional,
// and a UTF-8 byte order mark before the first line is skipped.
//
// Memory: a LineReader keeps one 64 KiB buffer, plus a 64 KiB copy of the
// head of a line that does not fit into it; the rest of such a line is
// skipped, never stored. A rewrite copies the old bytes through the same kind
// of 64 KiB buffer. So a lookup or a rewrite takes about 128 KiB whatever the
// size of the file or of its lines; only sectionNames() grows, with the list
// it returns.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ini {

constexpr std::size_t kChunkSize = std::size_t{64} * 1024;
// What a lookup returns at most, as from a 2048-byte buffer.
constexpr std::size_t kMaxValueLength = 2047;
// Longest stored (encoded) section or key name; longer names cannot be kept.
constexpr std::size_t kMaxNameLength = 8192;

// Bytes to parse. read() returns the count read, 0 at the end, -1 on error.
class Source {
public:
    virtual ~Source() = default;
    virtual std::ptrdiff_t read(char* buffer, std::size_t size) = 0;
    // Back to the first byte for a second pass; false when that fails.
    virtual bool rewind() = 0;
};

class Sink {
public:
    virtual ~Sink() = default;
    virtual bool write(const char* data, std::size_t size) = 0;
};

class StringSource : public Source {
public:
    explicit StringSource(std::string_view text) : m_text(text) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) override;
    bool rewind() override;

private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

class StringSink : public Sink {
public:
    bool write(const char* data, std::size_t size) override;
    const std::string& text() const { return m_text; }

private:
    std::string m_text;
};

// One line. Offsets count bytes from the start of the stream.
struct Line {
    std::string_view text;        // without line ending (and BOM); at most kChunkSize bytes
    bool truncated = false;       // text holds only the head of the line
    std::uint64_t start = 0;      // offset of text[0]
    std::uint64_t contentEnd = 0; // offset where the line ending begins
    std::uint64_t end = 0;        // offset past the line ending
    bool hasNewline = false;      // ends in LF (else: last line of the stream)
    bool crlf = false;            // ends in CR LF
};

class LineReader {
public:
    explicit LineReader(Source& source);
    // False at the end of the stream or on a read error (see failed()).
    bool next(Line& line);
    bool failed() const { return m_failed; }

private:
    bool fill();
    bool nextLongLine(Line& line);
    void finish(Line& line, std::string_view text, std::uint64_t start, std::uint64_t length,
                bool hasNewline, bool endsInCr);

    Source& m_source;
    std::unique_ptr<char[]> m_buffer;
    std::string m_head;               // head of a line longer than the buffer
    std::size_t m_begin = 0;          // first unread byte in m_buffer
    std::size_t m_end = 0;            // end of the data in m_buffer
    std::uint64_t m_bufferOffset = 0; // stream offset of m_buffer[0]
    bool m_eof = false;
    bool m_failed = false;
    bool m_first = true;
};

// ---- Names ----
//
// Names that the syntax cannot carry are stored encoded, so that no name can
// ever open or change another section or key. A section name is unsafe when
// it is empty, has leading or trailing blanks, or holds ']', CR, LF or NUL; a
// key name likewise, except that '=' takes the place of ']', and a key may
// not begin with '[' or ';' either. Names that begin with the prefix "%ENC%"
// (in any letter case) are unsafe too, which keeps the mapping one-to-one.
// An unsafe name is stored as "%ENC%" followed by the name with every byte
// outside [A-Za-z0-9._~-] written as '%' and two uppercase hex digits:
// "x]" LF "Minutes=999" is stored as "%ENC%x%5D%0AMinutes%3D999". Safe
// names are stored byte for byte as given.
enum class NameKind { Section, Key };

inline constexpr std::string_view kEncodedPrefix = "%ENC%";

std::string encodeName(std::string_view name, NameKind kind);
// The name that `stored` stands for; nullopt when it carries the prefix but
// not a valid encoding.
std::optional<std::string> decodeName(std::string_view stored);

bool equalsIgnoringCase(std::string_view a, std::string_view b);

// ---- Operations on stored names ----

// The value of `key` in the first section named `section`: blanks trimmed,
// cut at a NUL byte and after kMaxValueLength bytes. nullopt when missing or
// when the stream cannot be read.
std::optional<std::string> findValue(Source& in, std::string_view section, std::string_view key);

// The decoded names of all sections in stream order. A name appears once,
// where it first occurs (later sections of the same name are never read), and
// only when storing it again would find that same section: "[]", an invalid
// encoding or an overlong name could not be addressed, so they are left out.
std::vector<std::string> sectionNames(Source& in);

// The sections that sectionNames() lists, each with the values of `keys`
// (stored names) that findValue() would return, in one pass over the stream:
// a report of many sections reads the file once, not once per value. Keys
// longer than kMaxNameLength are never found, as by findValue's callers.
struct SectionValues {
    std::string name;                               // decoded
    std::vector<std::optional<std::string>> values; // by key
};
std::vector<SectionValues> sectionValues(Source& in, const std::vector<std::string>& keys);

// How to turn the old text into the new one: keep bytes [0, keepUntil),
// write `insert`, then continue with the old bytes from resumeAt on.
struct Edit {
    std::uint64_t keepUntil = 0;
    std::string insert;
    std::uint64_t resumeAt = 0;
};

// Sets `key` to `value` as the profile service does: the value of the first
// matching key of the first matching section is replaced (what precedes it,
// up to the blanks after the '=', stays as it was); a missing key is added after the last non-blank
// line of that section; a missing section is added at the end, after a line
// break when the text lacks a final one. New lines take the text's first line
// ending (LF in a text without one). Names must be stored forms and `value` a
// single line. False when the stream cannot be read.
bool planStore(Source& in, std::string_view section, std::string_view key, std::string_view value,
               Edit& edit);
// Writes the edited text; `in` must be at its start. False on a read or write
// error.
bool applyEdit(Source& in, const Edit& edit, Sink& out);

// The same stores in every section that sectionNames() lists, planned in one
// pass: applying `edits` writes what storing each (key, value) of `values`
// in turn, section by section in file order, would write. `edits` come in
// file order and do not overlap; empty when no section is listed. False when
// the stream cannot be read.
bool planStoreInEverySection(Source& in,
                             const std::vector<std::pair<std::string, std::string>>& values,
                             std::vector<Edit>& edits);
// Writes the text with all `edits` applied; `in` must be at its start.
bool applyEdits(Source& in, const std::vector<Edit>& edits, Sink& out);

// The text of `in` with `edit` applied, as a stream of its own, so that
// several stores can be planned one after the other and written in one go
// without holding the text. Reads rewind `in` when rewound.
class EditedSource : public Source {
public:
    EditedSource(Source& in, Edit edit) : m_in(in), m_edit(std::move(edit)) {}
    std::ptrdiff_t read(char* buffer, std::size_t size) override;
    bool rewind() override;

private:
    Source& m_in;
    Edit m_edit;
    std::uint64_t m_inPos = 0;   // bytes of `in` consumed
    std::size_t m_insertPos = 0; // bytes of the insert handed out
    bool m_skipped = false;      // past the replaced range
};

} // namespace ini
