#pragma once
// The file access under the INI accessor. The disk implementation never keeps
// a file open between calls; tests put an in-memory or failing one in its
// place.

#include "IniParser.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

class IniFileSystem {
public:
    // Writes the new file from the old one (nullptr when there is none).
    using Producer = std::function<bool(ini::Source* old, ini::Sink& out)>;

    virtual ~IniFileSystem() = default;
    // The file's bytes; nullptr when it is missing, unreadable or not a
    // regular file.
    virtual std::unique_ptr<ini::Source> openRead(const std::string& path) = 0;
    // Replaces the file with what `produce` writes. False when the write was
    // refused or `produce` failed; the old file is then left as it was.
    virtual bool replace(const std::string& path, const Producer& produce) = 0;
};

// Files on disk. replace() writes a temporary file ".<name>.tmp-XXXXXX"
// beside the file, flushes it to disk, renames it over the old file and
// flushes the folder, so a crash at any moment leaves either the old or the
// new file. It creates a missing folder (mode 0700), writes through symbolic
// links to their target, keeps the old file's permission bits, and removes
// temporary files of the same file that a crashed writer left behind. FIFOs
// and other non-regular files are never opened for reading data: reads see no
// file and writes are refused.
class DiskIniFileSystem : public IniFileSystem {
public:
    std::unique_ptr<ini::Source> openRead(const std::string& path) override;
    bool replace(const std::string& path, const Producer& produce) override;
};

std::shared_ptr<IniFileSystem> diskIniFileSystem();

// What replace() removes before each write; a file written seldom calls it
// at start-up, so that a crash's temporary file does not linger until then.
void removeStaleTempFiles(const std::string& path);

// Appends `line` to the file at `path` with one write() on an O_APPEND
// descriptor, then flushes it to disk. A new file, and a missing folder, are
// made, and `header` goes before the line in the same write. A file that does
// not end in a line break ends in a line torn by a crash: the write seals it
// first with a NUL byte and a line break, so that it can never read as a
// whole line. False when the file cannot be written; it then holds nothing
// new, or a torn line.
bool appendLine(const std::string& path, std::string_view line, std::string_view header);
