// End-to-end start-up of the built executable: the window, its title, the
// exit codes and the errors that end start-up before any window exists.

#include "Config.h"
#include "ProcessRunner.h"
#include "XWindows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <thread>
#include <sched.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {
bool haveDisplay()
{
    const char* display = std::getenv("DISPLAY");
    return display && *display;
}

const std::string CubeModel = "/usr/share/assimp/models/PLY/cube.ply";
// The cube's 24 records merge into its 8 corners.
const std::string CubeTitle = "Tamrel | cube.ply (V:8 F:12)";

// Waits for the title, closes the window and expects a clean end.
ProcessResult closeOnceTitled(ChildProcess& app, const std::string& expected)
{
    const bool titled = xwin::waitForTitle(expected, 60);
    const std::string title = titled ? expected : "Tamrel";
    xwin::requestClose(title);
    ProcessResult r = xwin::waitForClose(app, title, 60s);
    EXPECT_TRUE(titled) << r.out;
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r;
}

// Waits up to 30 s for the logged failure to load a file, which must leave the program running.
void expectLoggedWhileRunning(ChildProcess& app, const std::string& failure)
{
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (app.running() && app.output().find(failure) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(app.running()) << failure;
}

// Closes the window, still titled "Tamrel", and expects a clean end that logged the failure.
void closeAndExpectLogged(ChildProcess& app, const std::string& failure)
{
    xwin::requestClose("Tamrel");
    const ProcessResult r = xwin::waitForClose(app, "Tamrel", 60s);
    EXPECT_EQ(r.exitCode, 0) << failure << "\n" << r.err;
    EXPECT_NE(r.out.find(failure), std::string::npos) << r.out;
}

// A private copy of the executable with its own run-time files, so a test can
// change the configuration without touching the shared build folder.
class InstalledCopy : public testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("tamrel_app_" + std::to_string(::getpid()) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy_file(TAMREL_EXE, dir / "tamrel");
        fs::copy(PathExeDir / "config", dir / "config", fs::copy_options::recursive);
        fs::copy(PathExeDir / "resources", dir / "resources", fs::copy_options::recursive);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string exe() const { return (dir / "tamrel").string(); }
    void writeConfig(const std::string& text) { std::ofstream(dir / "config" / "default.json") << text; }

    fs::path dir;
};
} // namespace

TEST_F(InstalledCopy, ConfigurationThatIsNotJsonEndsBeforeAnyWindow)
{
    writeConfig("WindowWidth = 800");
    // No display: reaching the window step would fail with another error.
    const ProcessResult r = runProcess(exe(), {}, {{"DISPLAY", ""}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("parse_error"), std::string::npos) << r.err;
}

TEST_F(InstalledCopy, WrongTypedKeyEndsStartUp)
{
    writeConfig(R"({"CheckManifoldness": 1})");
    const ProcessResult r = runProcess(exe(), {}, {{"DISPLAY", ""}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("type must be boolean, but is number"), std::string::npos) << r.err;
}

TEST_F(InstalledCopy, MissingTexturePackEndsStartUp)
{
    fs::remove(dir / "resources" / "textures" / "default.ktx");
    const ProcessResult r = runProcess(exe(), {}, {{"DISPLAY", ""}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "can not find texture pack <" + (dir / "resources/textures/default.ktx").string() +
                         ">.\n");
}

TEST_F(InstalledCopy, MissingDisplayIsAStartUpFailure)
{
    const ProcessResult r = runProcess(exe(), {}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("@initWindow"), std::string::npos) << r.err;
}

TEST_F(InstalledCopy, MissingLogoEndsStartUpWithTheImageError)
{
    if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
    fs::remove(dir / "resources" / "logo" / "icon512.png");
    const ProcessResult r = runProcess(exe(), {}, {}, 60s);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("failed to load image file <"), std::string::npos) << r.err;
}

TEST(Startup, OpensTheTamrelWindowAndExitsCleanlyWhenAskedToClose)
{
    if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
    ChildProcess app(TAMREL_EXE, {});
    ASSERT_TRUE(xwin::waitForTitle("Tamrel", 60)) << "no window titled Tamrel";
    ASSERT_TRUE(xwin::requestClose("Tamrel"));
    const ProcessResult r = xwin::waitForClose(app, "Tamrel", 60s);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
}

TEST(Startup, LoadsTheFirstImportableArgumentAndNamesItInTheTitle)
{
    if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
    if (!fs::exists(CubeModel)) GTEST_SKIP() << "assimp-testmodels not installed";
    ChildProcess app(TAMREL_EXE, {"notes.txt", CubeModel});
    const ProcessResult r = closeOnceTitled(app, CubeTitle);
    EXPECT_NE(r.out.find("Start main loop with 2 extra command line arguments: [notes.txt],[" + CubeModel + "]"),
              std::string::npos)
        << r.out;
}

TEST(Startup, AFileTheImporterRejectsKeepsTheWindowUp)
{
    if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
    const fs::path bad = fs::temp_directory_path() / ("tamrel_bad_" + std::to_string(::getpid()) + ".obj");
    std::ofstream(bad) << "v 1\n";
    ChildProcess app(TAMREL_EXE, {bad.string()});
    ASSERT_TRUE(xwin::waitForTitle("Tamrel", 60));
    const std::string expected = "Failed to load model file <" + bad.string() + ">";
    expectLoggedWhileRunning(app, expected);
    closeAndExpectLogged(app, expected);
    fs::remove(bad);
}

namespace {
// `taskset -c <cpu>` with the first CPU this process may use.
std::vector<std::string> onOneCpu(std::vector<std::string> command)
{
    cpu_set_t allowed;
    sched_getaffinity(0, sizeof(allowed), &allowed);
    int cpu = 0;
    while (cpu < CPU_SETSIZE - 1 && !CPU_ISSET(cpu, &allowed)) ++cpu;
    command.insert(command.begin(), {"-c", std::to_string(cpu)});
    return command;
}
} // namespace

TEST(Startup, OnOneCpuTheModelIsLoadedAndNamedInTheTitle)
{
    if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
    if (!fs::exists(CubeModel)) GTEST_SKIP() << "assimp-testmodels not installed";
    ChildProcess app("/usr/bin/taskset", onOneCpu({TAMREL_EXE, CubeModel}));
    closeOnceTitled(app, CubeTitle);
}

// Files that crashed or hung the readers: each load fails with its reason
// logged while the window stays up under its old title.
TEST(Startup, DamagedModelFilesKeepTheWindowUpAndItsTitle)
{
    if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
    for (const auto& entry : fs::directory_iterator(TAMREL_MALFORMED_DIR)) {
        const std::string file = entry.path().string();
        ChildProcess app("/usr/bin/taskset", onOneCpu({TAMREL_EXE, file}));
        ASSERT_TRUE(xwin::waitForTitle("Tamrel", 60)) << file;
        const std::string expected = "Failed to load model file <" + file + ">: ";
        expectLoggedWhileRunning(app, expected);
        // A frame or two later the title would have changed.
        std::this_thread::sleep_for(300ms);
        const auto titles = xwin::titles();
        EXPECT_NE(std::find(titles.begin(), titles.end(), "Tamrel"), titles.end()) << file;
        closeAndExpectLogged(app, expected);
    }
}

// Everything that uses the display connection (the swapchain, the surface)
// must be released before the connection closes. The stale reads happen
// inside the system's libraries, so only valgrind sees them.
TEST(Startup, ClosingTheWindowTouchesNoFreedMemory)
{
    if (!haveDisplay()) GTEST_SKIP() << "needs an X display";
    const std::string valgrind = "/usr/bin/valgrind";
    if (!fs::exists(valgrind) || !fs::exists(CubeModel)) GTEST_SKIP() << "valgrind or assimp-testmodels not installed";
    const fs::path log = fs::temp_directory_path() / ("tamrel_valgrind_" + std::to_string(::getpid()) + ".log");
    ChildProcess app(valgrind, {"--log-file=" + log.string(), "--suppressions=" TAMREL_VALGRIND_SUPPRESSIONS,
                                TAMREL_EXE, CubeModel});
    const ProcessResult r = closeOnceTitled(app, CubeTitle);

    std::ifstream in(log);
    std::string line, invalid;
    while (std::getline(in, line)) {
        // "Invalid read", "Invalid write", "Invalid free() / delete / delete[] / realloc()"
        if (line.find("== Invalid ") != std::string::npos) invalid += line + "\n";
    }
    EXPECT_EQ(invalid, "") << "valgrind log: " << log;
    if (invalid.empty() && r.exitCode == 0) fs::remove(log);
}
