#pragma once
// The INI accessor: holds only a file's path; every operation reads or writes
// the file at the moment it runs, with the profile-service rules (names match
// without regard to ASCII case, the first of duplicate sections or keys wins,
// values lose surrounding blanks, at most 2047 characters come back). Writes
// replace the file atomically and keep every other byte of it. The text rules
// are in IniParser.h, the file handling in IniFileSystem.h.
//
// Texts are byte strings, as they stand in the file.
//
// Names: any section or key name can be stored and read back, and none can
// reach another section or key. Names that the INI syntax cannot carry (the
// empty name, leading or trailing blanks, ']' in a section name, '=' or a
// leading '[' or ';' in a key, CR, LF, NUL, or the prefix "%ENC%") are stored
// as "%ENC%" plus their percent-encoded bytes; all other names are stored
// unchanged. LoadSectionNames decodes them back. Details in IniParser.h.
//
// Values: a value is a single line; StoreText keeps only the part before the
// first CR, LF or NUL, so no value can add lines to the file.
//
// Memory: a read or write takes about 128 KiB whatever the size of the file;
// LoadSectionNames holds the names it returns besides.

#include "IniFileSystem.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A refused write: "Unable to write to <full path>".
class IniWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A text that the integer parser does not accept:
// "'<text>' is not a valid integer value".
class ConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The integer parser: leading spaces (code 32 only) skipped, then an optional
// '-' or '+' with decimal digits within int32, or one of "$", "x", "X", "0x",
// "0X" with hex digits that fit 32 bits, read as a bit pattern (FFFFFFFF is
// -1). Every character up to the end must be a digit of the base.
bool tryStrToInt(const std::string& text, std::int32_t& value);
// Throws ConvertError.
std::int32_t StrToInt(const std::string& text);
std::string IntToStr(std::int32_t value);

class IniFile {
public:
    static constexpr std::size_t kValueBufferSize = 2048;

    // Touches no file.
    explicit IniFile(std::string path,
                     std::shared_ptr<IniFileSystem> fileSystem = diskIniFileSystem());
    const std::string& FileName() const { return m_path; }

    std::string LoadText(const std::string& section, const std::string& key,
                         const std::string& defaultText) const;
    // Throws IniWriteError.
    void StoreText(const std::string& section, const std::string& key, const std::string& value);
    // Several keys of one section in one replacement of the file: the same
    // bytes as storing them one after the other, but a crash or a refused
    // write leaves either all of them or none.
    void StoreTexts(const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& values);

    // The same keys stored in every section that LoadSectionNames lists, in
    // one replacement of the file: the bytes that storing them section by
    // section would give, in time linear in the file's size. The keys must
    // differ. Writes nothing when no section is listed.
    void StoreInEverySection(const std::vector<std::pair<std::string, std::string>>& values);

    // Decimal, or hex after "0x"; the default when missing or not a number.
    std::int32_t LoadNumber(const std::string& section, const std::string& key,
                            std::int32_t defaultValue) const;
    void StoreNumber(const std::string& section, const std::string& key, std::int32_t value);

    // A number; non-zero is true.
    bool LoadFlag(const std::string& section, const std::string& key, bool defaultValue) const;
    void StoreFlag(const std::string& section, const std::string& key, bool value);

    // Every section name in file order, decoded; a name appears once. Unlike
    // the profile service, the list is never cut short.
    void LoadSectionNames(std::vector<std::string>& names) const;

    // Every section that LoadSectionNames lists, with the numbers of `keys`
    // as LoadNumber would read them, in one read of the file: the time is
    // linear in the file's size, not in the sections times its size.
    struct SectionNumbers {
        std::string section;
        std::vector<std::int32_t> numbers; // by key
    };
    std::vector<SectionNumbers> LoadSectionNumbers(const std::vector<std::string>& keys,
                                                   std::int32_t defaultValue) const;

private:
    std::string m_path;
    std::shared_ptr<IniFileSystem> m_fileSystem;
};
