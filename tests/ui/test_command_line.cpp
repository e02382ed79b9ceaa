// The program's arguments: which ones start it, which ones print and end it,
// and what a wrong one does.

#include "ui/app/CommandLine.h"

#include <gtest/gtest.h>

namespace {
CommandLine parse(QStringList arguments) {
    arguments.prepend(QStringLiteral("brantle-vantrel"));
    return parseCommandLine(arguments);
}
} // namespace

TEST(CommandLineTest, NoArgumentOrAutostartRuns) {
    const CommandLine plain = parse({});
    EXPECT_TRUE(plain.run);
    EXPECT_FALSE(plain.autostart);
    EXPECT_TRUE(plain.out.isEmpty() && plain.err.isEmpty());

    const CommandLine login = parse({"--autostart"});
    EXPECT_TRUE(login.run);
    EXPECT_TRUE(login.autostart);
}

TEST(CommandLineTest, HelpAndVersionPrintAndEndWithZero) {
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"-h"},
                                    QStringList{"--autostart", "--help"}, QStringList{"-hv"}}) {
        const CommandLine c = parse(args);
        EXPECT_FALSE(c.run) << args.join(' ').toStdString();
        EXPECT_EQ(c.exitCode, 0);
        EXPECT_TRUE(c.out.startsWith("Usage: brantle-vantrel [options]\n")) << c.out.toStdString();
        EXPECT_TRUE(c.out.contains("--autostart"));
        EXPECT_TRUE(c.err.isEmpty());
    }
    for (const QStringList& args : {QStringList{"--version"}, QStringList{"-v"}}) {
        const CommandLine c = parse(args);
        EXPECT_FALSE(c.run);
        EXPECT_EQ(c.exitCode, 0);
        EXPECT_EQ(c.out, QStringLiteral("brantle-vantrel " BV_VERSION "\n"));
    }
}

TEST(CommandLineTest, AnythingElseIsAnErrorWithTheUsage) {
    const QStringList wrong[] = {{"--bogus"},           {"-x"},          {"file.ini"},
                                 {"--autostart=1"},     {"--version=2"}, {"--autostart", "extra"},
                                 {"-session", "10abc"}, {"--"},          {"--autostart", "--"}};
    for (const QStringList& args : wrong) {
        const CommandLine c = parse(args);
        EXPECT_FALSE(c.run) << args.join(' ').toStdString();
        EXPECT_EQ(c.exitCode, 2);
        EXPECT_TRUE(c.out.isEmpty());
        EXPECT_TRUE(c.err.startsWith("brantle-vantrel: ")) << c.err.toStdString();
        EXPECT_TRUE(c.err.contains("\nUsage: brantle-vantrel [options]\n"));
    }
}
