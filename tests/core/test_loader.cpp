#include "MonitorFixture.h"

using namespace ras;

namespace {
DWORD callEntryProperties() {
    DWORD size = 0, devSize = 0;
    return RasGetEntryProperties(nullptr, "x", nullptr, &size, nullptr, &devSize);
}
} // namespace

using LoaderTest = MonitorTest;

TEST_F(LoaderTest, Rasapi32UsesTheSuffixedNameAndIsNeverReleased) {
    service->entries = {{"x", "1"}};
    EXPECT_EQ(callEntryProperties(), ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(callEntryProperties(), ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(loader->loadCalls, std::vector<std::string>{"rasapi32.dll"});
    EXPECT_EQ(loader->procCalls,
              (std::vector<std::string>{"RasGetEntryPropertiesA", "RasGetEntryPropertiesA"}));
    EXPECT_TRUE(rasLoaderState().RasLoaded);
    EXPECT_FALSE(rasLoaderState().RasFromRnaph);
    finalizeRas();
    EXPECT_TRUE(loader->freeCalls.empty());
}

TEST_F(LoaderTest, RnaphUsesThePlainNameAndIsReleasedAtTheEnd) {
    loader->libraries = {{"rasapi32.dll", {}}, {"rnaph.dll", {"RasGetEntryProperties"}}};
    service->entries = {{"x", "1"}};
    EXPECT_EQ(callEntryProperties(), ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(callEntryProperties(), ERROR_BUFFER_TOO_SMALL);
    EXPECT_EQ(loader->loadCalls, (std::vector<std::string>{"rasapi32.dll", "rnaph.dll"}));
    EXPECT_EQ(loader->procCalls,
              (std::vector<std::string>{"RasGetEntryPropertiesA", "RasGetEntryProperties",
                                        "RasGetEntryProperties"}));
    EXPECT_TRUE(rasLoaderState().RasFromRnaph);
    finalizeRas();
    EXPECT_EQ(loader->freeCalls, std::vector<std::string>{"rnaph.dll"});
}

TEST_F(LoaderTest, FailuresCarryTheirTextsAndTheNextCallStartsOver) {
    loader->libraries.clear();
    EXPECT_EQ(rasErrorOf([] { callEntryProperties(); }), "Error opening rasapi32.dll");

    loader->libraries = {{"rasapi32.dll", {}}};
    EXPECT_EQ(rasErrorOf([] { callEntryProperties(); }), "Error opening rnaph.dll");

    loader->libraries = {{"rasapi32.dll", {}}, {"rnaph.dll", {}}};
    loader->loadCalls.clear();
    EXPECT_EQ(rasErrorOf([] { callEntryProperties(); }),
              "Function RasGetEntryProperties not found!");
    EXPECT_FALSE(rasLoaderState().RasLoaded);
    EXPECT_EQ(rasErrorOf([] { callEntryProperties(); }),
              "Function RasGetEntryProperties not found!");
    EXPECT_EQ(loader->loadCalls.size(), 4u) << "both libraries are tried again";

    // Once loaded, a routine missing later gives the plain name in the text.
    loader->libraries = {{"rasapi32.dll", {"RasGetEntryPropertiesA"}}};
    EXPECT_NO_THROW(GetRasFunction("RasGetEntryProperties"));
    EXPECT_EQ(rasErrorOf([] { GetRasFunction("RasDial"); }), "Function RasDial not found!");
    EXPECT_EQ(loader->procCalls.back(), "RasDialA");
}

TEST_F(LoaderTest, BuiltinLoaderServesTheInstalledService) {
    ras::setLibraryLoader(createPlatformLibraryLoader());
    service->entries = {{"Office", "555-0100"}};
    TZorvRasConnect m(&form);
    EXPECT_EQ(m.AvailableNumbers(), QStringList({"555-0100"}));
    EXPECT_THROW(GetRasFunction("RasDial"), RasError);
}
