// Fuzz entry for the integer parser, against an independent reading of its
// rules, and for the accessor's number reading on an in-memory file.

#include "FuzzCheck.h"
#include "accounting/IniFile.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace {

// The rules written out a second way: find the form, then convert the digits
// with 64-bit arithmetic on at most 12 significant digits.
std::optional<std::int32_t> reference(const std::string& text) {
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos)
        return std::nullopt;
    std::string s = text.substr(start);
    int base = 10;
    bool negative = false;
    if (s[0] == '-' || s[0] == '+') {
        negative = s[0] == '-';
        s.erase(0, 1);
    } else if (s.rfind("0x", 0) == 0 || s.rfind("0X", 0) == 0) {
        base = 16;
        s.erase(0, 2);
    } else if (s[0] == '$' || s[0] == 'x' || s[0] == 'X') {
        base = 16;
        s.erase(0, 1);
    }
    const char* digits = base == 10 ? "0123456789" : "0123456789abcdefABCDEF";
    if (s.empty() || s.find_first_not_of(digits) != std::string::npos)
        return std::nullopt;
    s.erase(0, std::min(s.find_first_not_of('0'), s.size() - 1));
    if (s.size() > 12)
        return std::nullopt;
    const long long magnitude = std::stoll(s, nullptr, base);
    if (base == 16) {
        if (magnitude > 0xFFFFFFFFll)
            return std::nullopt;
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
    }
    const long long v = negative ? -magnitude : magnitude;
    if (v < INT32_MIN || v > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

// One file in memory, so LoadNumber runs its whole path.
class OneFile : public IniFileSystem {
public:
    explicit OneFile(std::string text) : m_text(std::move(text)) {}
    std::unique_ptr<ini::Source> openRead(const std::string&) override {
        return std::make_unique<ini::StringSource>(m_text);
    }
    bool replace(const std::string&, const Producer&) override { return false; }

private:
    std::string m_text;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::int32_t value = 0;
    const bool ok = tryStrToInt(text, value);
    const std::optional<std::int32_t> want = reference(text);
    check(ok == want.has_value() && (!ok || value == *want), "parser disagrees with the reference");
    std::int32_t again = 0;
    check(!ok || (tryStrToInt(IntToStr(value), again) && again == value),
          "written number does not read back");

    // As a stored value: one line, trimmed, cut at NUL, 0x read as hex.
    if (text.find_first_of("\r\n") == std::string::npos) {
        IniFile ini("mem", std::make_shared<OneFile>("[s]\nk=" + text + "\n"));
        const std::int32_t loaded = ini.LoadNumber("s", "k", 12345);
        const std::optional<std::int32_t> r = reference(ini.LoadText("s", "k", ""));
        check(loaded == (r ? *r : 12345), "LoadNumber disagrees with the reference");
    }
    return 0;
}
