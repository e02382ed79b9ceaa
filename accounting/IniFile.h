#pragma once
// The INI accessor: holds only a file's path; every operation reads or writes
// the file at the moment it runs, with the profile-service rules (names match
// without regard to case, the first of duplicate sections or keys wins, values
// lose surrounding blanks, at most 2047 characters come back). Writes replace
// the file atomically and keep every other byte of it.
//
// Texts are byte strings, as they stand in the file.

#include <cstdint>
#include <stdexcept>
#include <string>
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

// The integer parser: leading blanks (code 32) skipped, optional sign with
// decimal digits, or one of "$", "x", "X", "0x", "0X" with up to 32 bits of hex.
bool tryStrToInt(const std::string& text, std::int32_t& value);
// Throws ConvertError.
std::int32_t StrToInt(const std::string& text);
std::string IntToStr(std::int32_t value);

class IniFile {
public:
    static constexpr std::size_t kValueBufferSize = 2048;
    static constexpr std::size_t kSectionNamesBufferSize = 16384;

    explicit IniFile(std::string path) : m_path(std::move(path)) {}
    const std::string& FileName() const { return m_path; }

    std::string LoadText(const std::string& section, const std::string& key,
                         const std::string& defaultText) const;
    // Throws IniWriteError.
    void StoreText(const std::string& section, const std::string& key, const std::string& value);

    std::int32_t LoadNumber(const std::string& section, const std::string& key,
                            std::int32_t defaultValue) const;
    void StoreNumber(const std::string& section, const std::string& key, std::int32_t value);

    bool LoadFlag(const std::string& section, const std::string& key, bool defaultValue) const;
    void StoreFlag(const std::string& section, const std::string& key, bool value);

    // Every section name in file order (decoded where the name had to be
    // encoded). Unlike the profile service, the list is never cut short.
    void LoadSectionNames(std::vector<std::string>& names) const;

private:
    std::string m_path;
};
