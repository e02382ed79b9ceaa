#include "IniFile.h"

#include <limits>

namespace {

int digitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    return v < base ? v : -1;
}

} // namespace

bool tryStrToInt(const std::string& text, std::int32_t& value) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    int base = 10;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    } else if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return false;
    // Decimal: up to 2^31 for a negative value; hex: any 32-bit pattern.
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull
                                : negative ? 0x80000000ull
                                           : 0x7FFFFFFFull;
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int d = digitValue(text[i], base);
        if (d < 0)
            return false;
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(d);
        if (magnitude > limit)
            return false;
    }
    if (base == 16)
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
    else
        value = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                                   : static_cast<std::int64_t>(magnitude));
    return true;
}

std::int32_t StrToInt(const std::string& text) {
    std::int32_t value = 0;
    if (!tryStrToInt(text, value))
        throw ConvertError("'" + text + "' is not a valid integer value");
    return value;
}

std::string IntToStr(std::int32_t value) {
    return std::to_string(value);
}

IniFile::IniFile(std::string path, std::shared_ptr<IniFileSystem> fileSystem)
    : m_path(std::move(path)), m_fileSystem(std::move(fileSystem)) {}

std::string IniFile::LoadText(const std::string& section, const std::string& key,
                              const std::string& defaultText) const {
    const std::string storedSection = ini::encodeName(section, ini::NameKind::Section);
    const std::string storedKey = ini::encodeName(key, ini::NameKind::Key);
    if (storedSection.size() > ini::kMaxNameLength || storedKey.size() > ini::kMaxNameLength)
        return defaultText;
    const std::unique_ptr<ini::Source> in = m_fileSystem->openRead(m_path);
    if (!in)
        return defaultText;
    std::optional<std::string> value = ini::findValue(*in, storedSection, storedKey);
    if (value)
        return std::move(*value);
    return defaultText;
}

void IniFile::StoreText(const std::string& section, const std::string& key,
                        const std::string& value) {
    StoreTexts(section, {{key, value}});
}

void IniFile::StoreTexts(const std::string& section,
                         const std::vector<std::pair<std::string, std::string>>& values) {
    if (values.empty())
        return;
    const std::string storedSection = ini::encodeName(section, ini::NameKind::Section);
    std::vector<std::pair<std::string, std::string>> stored;
    bool storable = storedSection.size() <= ini::kMaxNameLength;
    for (const auto& [key, value] : values) {
        std::string storedKey = ini::encodeName(key, ini::NameKind::Key);
        storable = storable && storedKey.size() <= ini::kMaxNameLength;
        stored.emplace_back(std::move(storedKey),
                            value.substr(0, value.find_first_of(std::string("\r\n\0", 3))));
    }
    const bool done =
        storable && m_fileSystem->replace(m_path, [&](ini::Source* old, ini::Sink& out) {
            ini::StringSource empty("");
            // Each store is planned on the text as the earlier ones left it.
            std::vector<std::unique_ptr<ini::EditedSource>> layers;
            ini::Source* in = old ? old : &empty;
            for (std::size_t i = 0; i < stored.size(); ++i) {
                ini::Edit edit;
                if (!in->rewind() ||
                    !ini::planStore(*in, storedSection, stored[i].first, stored[i].second, edit))
                    return false;
                if (i + 1 == stored.size())
                    return in->rewind() && ini::applyEdit(*in, edit, out);
                layers.push_back(std::make_unique<ini::EditedSource>(*in, std::move(edit)));
                in = layers.back().get();
            }
            return false;
        });
    if (!done)
        throw IniWriteError("Unable to write to " + m_path);
}

void IniFile::StoreInEverySection(const std::vector<std::pair<std::string, std::string>>& values) {
    std::vector<std::pair<std::string, std::string>> stored;
    for (const auto& [key, value] : values) {
        stored.emplace_back(ini::encodeName(key, ini::NameKind::Key),
                            value.substr(0, value.find_first_of(std::string("\r\n\0", 3))));
        if (stored.back().first.size() > ini::kMaxNameLength)
            throw IniWriteError("Unable to write to " + m_path);
    }
    {
        const std::unique_ptr<ini::Source> in = m_fileSystem->openRead(m_path);
        std::vector<ini::Edit> edits;
        if (!in || !ini::planStoreInEverySection(*in, stored, edits) || edits.empty())
            return;
    }
    // Planned again on the file being replaced, which may have changed since.
    const bool done = m_fileSystem->replace(m_path, [&](ini::Source* old, ini::Sink& out) {
        ini::StringSource empty("");
        ini::Source& in = old ? *old : empty;
        std::vector<ini::Edit> edits;
        return ini::planStoreInEverySection(in, stored, edits) && in.rewind() &&
               ini::applyEdits(in, edits, out);
    });
    if (!done)
        throw IniWriteError("Unable to write to " + m_path);
}

namespace {

std::int32_t numberOf(std::string text, std::int32_t defaultValue) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text = "$" + text.substr(2);
    std::int32_t value = 0;
    return tryStrToInt(text, value) ? value : defaultValue;
}

} // namespace

std::int32_t IniFile::LoadNumber(const std::string& section, const std::string& key,
                                 std::int32_t defaultValue) const {
    return numberOf(LoadText(section, key, std::string()), defaultValue);
}

void IniFile::StoreNumber(const std::string& section, const std::string& key, std::int32_t value) {
    StoreText(section, key, IntToStr(value));
}

bool IniFile::LoadFlag(const std::string& section, const std::string& key,
                       bool defaultValue) const {
    return LoadNumber(section, key, defaultValue ? 1 : 0) != 0;
}

void IniFile::StoreFlag(const std::string& section, const std::string& key, bool value) {
    StoreText(section, key, value ? "1" : "0");
}

std::vector<IniFile::SectionNumbers>
IniFile::LoadSectionNumbers(const std::vector<std::string>& keys, std::int32_t defaultValue) const {
    std::vector<std::string> stored;
    stored.reserve(keys.size());
    for (const std::string& key : keys)
        stored.push_back(ini::encodeName(key, ini::NameKind::Key));
    std::vector<SectionNumbers> out;
    const std::unique_ptr<ini::Source> in = m_fileSystem->openRead(m_path);
    if (!in)
        return out;
    for (ini::SectionValues& s : ini::sectionValues(*in, stored)) {
        SectionNumbers n{std::move(s.name), {}};
        for (const std::optional<std::string>& v : s.values)
            n.numbers.push_back(numberOf(v ? *v : std::string(), defaultValue));
        out.push_back(std::move(n));
    }
    return out;
}

void IniFile::LoadSectionNames(std::vector<std::string>& names) const {
    names.clear();
    if (const std::unique_ptr<ini::Source> in = m_fileSystem->openRead(m_path))
        names = ini::sectionNames(*in);
}
