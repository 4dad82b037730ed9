// The zenity dialog runner: an argument vector that no shell ever reads,
// the answer taken from the pipe, cancel and a missing program.

#include "CaptureSink.h"
#include "Config.h"
#include "FileDialog.h"

#include <spdlog/spdlog.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// A stand-in zenity in its own folder on PATH, run from that folder: writes
// its arguments one per line to args.txt and answers $FAKE_ANSWER with the
// status $FAKE_STATUS.
class FakeZenity : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(dir / "bin");
        std::ofstream(dir / "bin" / "zenity") << "#!/bin/sh\n"
                                                 "printf '%s\\n' \"$@\" > \"$FAKE_DIR/args.txt\"\n"
                                                 "[ -n \"$FAKE_ANSWER\" ] && printf '%s\\n' \"$FAKE_ANSWER\"\n"
                                                 "exit \"${FAKE_STATUS:-0}\"\n";
        fs::permissions(dir / "bin" / "zenity", fs::perms::owner_all);
        setenv("PATH", (dir / "bin").c_str(), 1);
        setenv("FAKE_DIR", dir.c_str(), 1);
        fs::current_path(dir);
    }
    void TearDown() override
    {
        fs::current_path(oldCwd);
        setenv("PATH", oldPath.c_str(), 1);
        unsetenv("FAKE_ANSWER");
        unsetenv("FAKE_STATUS");
        fs::remove_all(dir);
    }

    const fs::path dir = fs::temp_directory_path() / ("tamrel-dialog-" + std::to_string(getpid()));
    const std::string oldPath = std::getenv("PATH");
    const fs::path oldCwd = fs::current_path();
};

} // namespace

TEST_F(FakeZenity, HostilePathsReachTheProgramUnchanged)
{
    const std::string hostile = "/tmp/a \"b\" 'c' $(touch made1) `touch made2`; touch made3 .obj";
    setenv("FAKE_ANSWER", hostile.c_str(), 1);
    EXPECT_EQ(runZenityDialog({true, "Save model file", hostile + ".stl"}), hostile);
    std::ifstream in(dir / "args.txt");
    std::vector<std::string> arguments;
    for (std::string line; std::getline(in, line);) arguments.push_back(line);
    EXPECT_EQ(arguments, (std::vector<std::string>{"--file-selection", "--save", "--confirm-overwrite",
                                                   "--title=Save model file", "--filename=" + hostile + ".stl"}));
    for (const char* made : {"made1", "made2", "made3"}) EXPECT_FALSE(fs::exists(dir / made)) << made;

    EXPECT_EQ(zenityArguments({false, "Open a model file", ""}),
              (std::vector<std::string>{"zenity", "--file-selection", "--title=Open a model file"}));
}

TEST_F(FakeZenity, CancelAndEmptyAnswersGiveNothing)
{
    setenv("FAKE_ANSWER", "/tmp/m.obj", 1);
    setenv("FAKE_STATUS", "1", 1);
    EXPECT_EQ(runZenityDialog({false, "Open a model file", ""}), std::nullopt);
    setenv("FAKE_STATUS", "0", 1);
    unsetenv("FAKE_ANSWER");
    EXPECT_EQ(runZenityDialog({false, "Open a model file", ""}), std::nullopt);
}

TEST_F(FakeZenity, AMissingProgramIsLoggedOnce)
{
    auto capture = std::make_shared<CaptureSink>();
    auto logger = spdlog::get("tamrel_log");
    if (!logger) {
        logger = std::make_shared<spdlog::logger>("tamrel_log");
        spdlog::register_logger(logger);
    }
    logger->sinks().push_back(capture);

    fs::remove(dir / "bin" / "zenity");
    EXPECT_EQ(runZenityDialog({false, "Open a model file", ""}), std::nullopt);
    EXPECT_EQ(runZenityDialog({false, "Open a model file", ""}), std::nullopt);
    EXPECT_FALSE(runChild({"xdg-open", "https://tamrel.example/"}, false).started);
    const auto lines = capture->copy();
    logger->sinks().pop_back();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("zenity"), std::string::npos);
    EXPECT_NE(lines[1].find("xdg-open"), std::string::npos);
}

TEST(HelpPage, AddressIsAFileAddressBesideTheExecutable)
{
    const std::string address = helpPageAddress();
    EXPECT_EQ(address.rfind("file:///", 0), 0u) << address;
    EXPECT_NE(address.find("/resources/help/index.html"), std::string::npos) << address;
    EXPECT_EQ(address.find(' '), std::string::npos) << address;
    EXPECT_TRUE(fs::exists(PathExeDir / "resources" / "help" / "index.html"));
}
