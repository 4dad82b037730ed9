// The zenity dialog runner: an argument vector that no shell ever reads,
// the answer taken from the pipe, cancel and a missing program.

#include "CaptureSink.h"
#include "Config.h"
#include "FileDialog.h"

#include <spdlog/spdlog.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// A stand-in zenity in its own folder on PATH: writes its arguments one per
// line to args.txt and answers $FAKE_ANSWER with the status $FAKE_STATUS.
class FakeZenity : public testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tamrel-dialog-" + std::to_string(getpid()));
        fs::create_directories(dir / "bin");
        const fs::path script = dir / "bin" / "zenity";
        std::ofstream(script) << "#!/bin/sh\n"
                                 "printf '%s\\n' \"$@\" > \"$FAKE_DIR/args.txt\"\n"
                                 "[ -n \"$FAKE_ANSWER\" ] && printf '%s\\n' \"$FAKE_ANSWER\"\n"
                                 "exit \"${FAKE_STATUS:-0}\"\n";
        fs::permissions(script, fs::perms::owner_all);
        oldPath = std::getenv("PATH");
        oldCwd = fs::current_path();
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
    std::vector<std::string> arguments()
    {
        std::ifstream in(dir / "args.txt");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

    fs::path dir;
    std::string oldPath;
    fs::path oldCwd;
};

const std::string Hostile = "/tmp/a \"b\" 'c' $(touch made1) `touch made2`; touch made3 .obj";

} // namespace

TEST_F(FakeZenity, HostilePathsReachTheProgramUnchanged)
{
    const FileDialogRequest save{true, "Save model file", Hostile + ".stl"};
    EXPECT_EQ(zenityArguments(save),
              (std::vector<std::string>{"zenity", "--file-selection", "--save", "--confirm-overwrite",
                                        "--title=Save model file", "--filename=" + Hostile + ".stl"}));
    setenv("FAKE_ANSWER", Hostile.c_str(), 1);
    EXPECT_EQ(runZenityDialog(save), Hostile);
    EXPECT_EQ(arguments(), (std::vector<std::string>{"--file-selection", "--save", "--confirm-overwrite",
                                                     "--title=Save model file", "--filename=" + Hostile + ".stl"}));
    for (const char* made : {"made1", "made2", "made3"}) EXPECT_FALSE(fs::exists(dir / made)) << made;

    const FileDialogRequest open{false, "Open a model file", ""};
    EXPECT_EQ(zenityArguments(open),
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

TEST(HelpPage, AddressIsAFileAddressBesideTheExecutable)
{
    const std::string address = helpPageAddress();
    EXPECT_EQ(address.rfind("file:///", 0), 0u) << address;
    EXPECT_NE(address.find("/resources/help/index.html"), std::string::npos) << address;
    EXPECT_EQ(address.find(' '), std::string::npos) << address;
    EXPECT_TRUE(fs::exists(PathExeDir / "resources" / "help" / "index.html"));
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
