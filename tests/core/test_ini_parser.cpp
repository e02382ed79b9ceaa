// The INI text core and the integer parser, on in-memory text.

#include "MemoryIniFileSystem.h"
#include "accounting/IniFile.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

std::optional<std::string> find(std::string_view text, std::string_view section,
                                std::string_view key) {
    ini::StringSource in(text);
    return ini::findValue(in, section, key);
}

std::string store(std::string_view text, std::string_view section, std::string_view key,
                  std::string_view value) {
    ini::StringSource in(text);
    ini::Edit edit;
    EXPECT_TRUE(ini::planStore(in, section, key, value, edit));
    EXPECT_TRUE(in.rewind());
    ini::StringSink out;
    EXPECT_TRUE(ini::applyEdit(in, edit, out));
    return out.text();
}

std::vector<std::string> sections(std::string_view text) {
    ini::StringSource in(text);
    return ini::sectionNames(in);
}

} // namespace

TEST(IntegerParser, AcceptsDecimalAndHexForms) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"0", 0},
        {"12", 12},
        {"  12", 12},
        {"+5", 5},
        {"-3", -3},
        {"007", 7},
        {"$1f", 31},
        {"x1F", 31},
        {"X1f", 31},
        {"0x1F", 31},
        {"0X1f", 31},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"$80000000", INT32_MIN},
        {"$000000000000FF", 255},
        {"-0000000000002147483648", INT32_MIN},
    };
    for (const auto& [text, expected] : cases) {
        std::int32_t value = 12345;
        EXPECT_TRUE(tryStrToInt(text, value)) << text;
        EXPECT_EQ(value, expected) << text;
    }
}

TEST(IntegerParser, RejectsEverythingElse) {
    for (const char* text :
         {"",    " ",    "12 ",  "1.5",  "0x",  "$",          "x",           "+",
          "-",   "--1",  "+-1",  "\t12", "1 2", "2147483648", "-2147483649", "$100000000",
          "-$1", "+0x1", "0x-1", "12a",  "$1g", "abc",        "1e3"}) {
        std::int32_t value = 77;
        EXPECT_FALSE(tryStrToInt(text, value)) << '"' << text << '"';
    }
    EXPECT_EQ(StrToInt("42"), 42);
    try {
        StrToInt("12 ");
        FAIL() << "no ConvertError";
    } catch (const ConvertError& e) {
        EXPECT_STREQ(e.what(), "'12 ' is not a valid integer value");
    }
    EXPECT_EQ(IntToStr(-42), "-42");
}

TEST(IniParser, ReadsTheFirstMatchRegardlessOfCase) {
    const std::string text = "Minutes=99\n" // before any section: belongs to none
                             "[office]\n"
                             "MINUTES=1\n"
                             "#Hours=4\n" // a key: only ';' starts a comment
                             "[Home] trailing text\n"
                             "just some text\n"
                             "Minutes 5\n"
                             "Minutes=2\n"
                             "[ Office ]\n"
                             "Hours=3\n";
    EXPECT_EQ(find(text, "Office", "minutes"), "1");
    EXPECT_EQ(find(text, "Office", "Hours"), std::nullopt);
    EXPECT_EQ(find(text, "Office", "#hours"), "4");
    EXPECT_EQ(find(text, "HOME", "Minutes"), "2");
    EXPECT_EQ(find(text, "Nowhere", "Minutes"), std::nullopt);
    EXPECT_EQ(sections(text), (std::vector<std::string>{"office", "Home"}));
    EXPECT_EQ(find("\xEF\xBB\xBF[Office]\nMinutes=12\n", "office", "minutes"), "12");
}

TEST(IniParser, ValuesAreTrimmedAndCut) {
    const std::string text = std::string("[A]\n"
                                         "Spaces= \t v a \t \r\n"
                                         "Empty=\n"
                                         "Nul=ab") +
                             '\0' + "cd\nLong=" + std::string(5000, 'v') + "\n";
    EXPECT_EQ(find(text, "A", "Spaces"), "v a");
    EXPECT_EQ(find(text, "A", "Empty"), "");
    EXPECT_EQ(find(text, "A", "Nul"), "ab");
    EXPECT_EQ(find(text, "A", "Long"), std::string(2047, 'v'));
}

TEST(IniParser, StoreFollowsTheProfileServiceRules) {
    // Replaces the first key of the first section, keeping what leads up to the value.
    EXPECT_EQ(store("[A]\n  minutes = 5  \nMinutes=6\n[a]\nMinutes=7\n", "a", "Minutes", "1"),
              "[A]\n  minutes = 1\nMinutes=6\n[a]\nMinutes=7\n");
    // A new key goes after the last non-blank line of its section.
    EXPECT_EQ(store("[A]\nX=1\n; note\n\n  \n[B]\n", "A", "Y", "2"),
              "[A]\nX=1\n; note\nY=2\n\n  \n[B]\n");
    EXPECT_EQ(store("[A]\n[B]\nX=1\n", "A", "Y", "2"), "[A]\nY=2\n[B]\nX=1\n");
    // A new section goes at the end, after a line break the text lacked.
    EXPECT_EQ(store("", "A", "X", "1"), "[A]\nX=1\n");
    EXPECT_EQ(store("; only a comment", "A", "X", "1"), "; only a comment\n[A]\nX=1\n");
    EXPECT_EQ(store("[B]\r\nX=1\r", "A", "X", "1"), "[B]\r\nX=1\r\n[A]\r\nX=1\r\n");
    EXPECT_EQ(store("\xEF\xBB\xBF", "A", "X", "1"), "\xEF\xBB\xBF[A]\nX=1\n");
}

TEST(IniParser, NamesThatTheSyntaxCannotCarryAreEncoded) {
    using ini::NameKind;
    // Safe names stay as they are.
    for (const char* name : {"Office", "Büro 2 (ISDN)", "a=b", "50%", "[x", ";x"})
        EXPECT_EQ(ini::encodeName(name, NameKind::Section), name);
    EXPECT_EQ(ini::encodeName("a]b", NameKind::Key), "a]b");

    EXPECT_EQ(ini::encodeName("x]\nMinutes=999", NameKind::Section), "%ENC%x%5D%0AMinutes%3D999");
    EXPECT_EQ(ini::encodeName("", NameKind::Section), "%ENC%");
    EXPECT_EQ(ini::encodeName("[Evil]", NameKind::Key), "%ENC%%5BEvil%5D");
    const std::string unsafeNames[] = {"",      " lead", "trail\t", "%ENC%41",
                                       "%enc%", "a\rb",  "a\nb",    std::string("n\0l", 3)};
    for (const std::string& name : unsafeNames) {
        for (NameKind kind : {NameKind::Section, NameKind::Key}) {
            const std::string stored = ini::encodeName(name, kind);
            EXPECT_NE(stored, name);
            EXPECT_EQ(ini::decodeName(stored), name);
        }
    }
    for (const char* bad : {"%ENC%%", "%ENC%%4", "%ENC%%G1", "%ENC%a b", "%ENC%a]"})
        EXPECT_EQ(ini::decodeName(bad), std::nullopt) << bad;
}

TEST(IniParser, SectionNamesListsOnlyWhatCanBeAddressed) {
    const std::string text = "[One]\n[]\n[%ENC%x%5d]\n[%ENC%41]\n[%ENC%%zz]\n[ONE]\n"
                             "[Two\n[%ENC%]\n[Two]\n";
    EXPECT_EQ(sections(text), (std::vector<std::string>{"One", "x]", "", "Two"}));
    // Nor can a name longer than the read buffer.
    EXPECT_EQ(sections("[" + std::string(std::size_t{70} * 1024, 'n') + "]\n[A]\n"),
              std::vector<std::string>{"A"});
}

TEST(IniAccessor, HostileNamesNeverReachOtherSections) {
    auto fs = std::make_shared<MemoryIniFileSystem>();
    const std::string original = "[Other]\nMinutes=1\n[x]\nMinutes=2\n";
    fs->files["ledger.ini"] = original;
    IniFile ini("ledger.ini", fs);

    const std::string names[] = {"x]\nMinutes=999", "", " x", "x ", "%ENC%x", "[x]", "x\r"};
    for (const std::string& name : names) {
        ini.StoreNumber(name, "Minutes", 5);
        ini.StoreText(name, "k=v\n[Other]", "v\r\nMinutes=999");
    }
    const std::string& text = fs->files["ledger.ini"];
    ASSERT_EQ(text.compare(0, original.size(), original), 0) << text;
    EXPECT_EQ(ini.LoadNumber("Other", "Minutes", -1), 1);
    EXPECT_EQ(ini.LoadNumber("x", "Minutes", -1), 2);

    std::vector<std::string> listed;
    ini.LoadSectionNames(listed);
    std::vector<std::string> expected{"Other", "x"};
    expected.insert(expected.end(), std::begin(names), std::end(names));
    EXPECT_EQ(listed, expected);
    for (const std::string& name : names) {
        EXPECT_EQ(ini.LoadNumber(name, "Minutes", -1), 5);
        EXPECT_EQ(ini.LoadText(name, "k=v\n[Other]", ""), "v");
    }
    // A plain name is stored byte for byte.
    ini.StoreNumber("Büro", "Minutes", 3);
    EXPECT_NE(fs->files["ledger.ini"].find("\n[Büro]\nMinutes=3\n"), std::string::npos);
}
