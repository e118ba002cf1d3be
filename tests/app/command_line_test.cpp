#include "CommandLine.h"

#include <gtest/gtest.h>

using vkv::app::CommandLine;
using Action = CommandLine::Action;

TEST(CommandLine, WithoutArgumentsStartsTheEditorWithNoFile) {
    const auto c = CommandLine::parse({"/usr/bin/vkvela"});
    EXPECT_EQ(c.action, Action::Run);
    EXPECT_TRUE(c.sysexFile.isEmpty());
}

TEST(CommandLine, OneFileIsOpenedAtStartAndQtsOwnOptionsPassThrough) {
    const auto c = CommandLine::parse(
        {"vkvela", "-platform", "offscreen", "-style", "Fusion", "-reverse", "my dump.syx"});
    EXPECT_EQ(c.action, Action::Run);
    EXPECT_EQ(c.sysexFile, "my dump.syx");
    EXPECT_EQ(CommandLine::parse({"vkvela", "--", "-odd.syx"}).sysexFile, "-odd.syx");
}

TEST(CommandLine, HelpShowsUsageAndOptionsButNotQtsOwn) {
    for (const char *option : {"--help", "-h"}) {
        const auto c = CommandLine::parse({"/opt/x/bin/vkvela", option, "ignored.syx"});
        EXPECT_EQ(c.action, Action::Help) << option;
        EXPECT_TRUE(c.text.startsWith("Usage: vkvela [options] [file]\n")) << c.text.toStdString();
        EXPECT_TRUE(c.text.contains("-v, --version")) << c.text.toStdString();
        EXPECT_TRUE(c.text.contains("Open Sysex File")) << c.text.toStdString();
        EXPECT_FALSE(c.text.contains("platform")) << c.text.toStdString();
    }
}

TEST(CommandLine, VersionShowsTheProgramsNameAndVersion) {
    for (const char *option : {"--version", "-v"}) {
        const auto c = CommandLine::parse({"vkvela", option});
        EXPECT_EQ(c.action, Action::Version) << option;
        EXPECT_EQ(c.text, QStringLiteral("vkvela " VKV_VERSION "\n"));
    }
}

TEST(CommandLine, UnknownOptionsAndSecondFilesAreErrorsThatPointToHelp) {
    const auto unknown = CommandLine::parse({"vkvela", "--bogus", "a.syx"});
    EXPECT_EQ(unknown.action, Action::Error);
    EXPECT_EQ(unknown.text,
              "vkvela: Unknown option 'bogus'.\nTry 'vkvela --help' for more information.");
    const auto missingValue = CommandLine::parse({"vkvela", "-platform"});
    EXPECT_EQ(missingValue.action, Action::Error);
    const auto two = CommandLine::parse({"vkvela", "a.syx", "b.syx"});
    EXPECT_EQ(two.action, Action::Error);
    EXPECT_EQ(two.text, "vkvela: only one file can be opened; 2 were given.\n"
                        "Try 'vkvela --help' for more information.");
}
