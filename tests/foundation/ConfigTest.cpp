#include "Config.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
// Each test gets its own folder as working directory, a texture pack file in
// it, and the settings back at their defaults.
class ConfigFixture : public testing::Test {
protected:
    void SetUp() override
    {
        oldCwd = fs::current_path();
        dir = fs::temp_directory_path() /
              ("tamrel_config_" + std::to_string(::getpid()) + "_" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::current_path(dir);
        std::ofstream(dir / "pack.ktx") << "x";
        WindowWidth = 1024;
        WindowHeight = 768;
        MergeDuplicateVertices = true;
        ComputeVertexNormals = true;
        CheckManifoldness = true;
        GpuSelectIdx = 0;
        PathScreenshots = dir / "shots";
        PathTexturePack = dir / "pack.ktx";
    }
    void TearDown() override
    {
        fs::current_path(oldCwd);
        fs::remove_all(dir);
    }
    fs::path write(const std::string& text)
    {
        const fs::path file = dir / "config.json";
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }
    std::string errorOf(const std::string& text)
    {
        try {
            loadConfigFrom(write(text));
        } catch (const std::exception& e) {
            return e.what();
        }
        return "";
    }

    fs::path oldCwd;
    fs::path dir;
};
} // namespace

TEST_F(ConfigFixture, PathGlobalsLiveBesideTheExecutable)
{
    EXPECT_TRUE(PathExeDir.is_absolute());
    EXPECT_TRUE(fs::exists(PathExeDir / "tamrel_foundation_tests"));
    EXPECT_EQ(PathConfig, PathExeDir / "config" / "default.json");
    EXPECT_EQ(PathLogo, PathExeDir / "resources" / "logo" / "icon512.png");
}

TEST_F(ConfigFixture, MissingFileIsAnError)
{
    const fs::path missing = dir / "absent.json";
    try {
        loadConfigFrom(missing);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "can not open file: " + missing.string());
    }
}

TEST_F(ConfigFixture, NonObjectRootsKeepDefaultsButStillCheckFolders)
{
    for (const char* text : {"{}", "[1, 2]", "42"}) {
        fs::remove_all(dir / "shots");
        ASSERT_EQ(errorOf(text), "") << text;
        EXPECT_EQ(WindowWidth, 1024);
        EXPECT_TRUE(MergeDuplicateVertices);
        EXPECT_TRUE(fs::is_directory(dir / "shots")) << text;
    }
}

TEST_F(ConfigFixture, ValuesAreConvertedAsTheJsonLibraryDoes)
{
    ASSERT_EQ(errorOf(R"({"GpuSelectIdx": 2.9, "WindowWidth": true, "WindowHeight": 600,
                          "CheckManifoldness": false})"),
              "");
    EXPECT_EQ(GpuSelectIdx, 2);
    EXPECT_EQ(WindowWidth, 1);
    EXPECT_EQ(WindowHeight, 600);
    EXPECT_FALSE(CheckManifoldness);
}

TEST_F(ConfigFixture, WrongTypesAndBadJsonAreErrors)
{
    EXPECT_NE(errorOf(R"({"MergeDuplicateVertices": 1})").find("type must be boolean, but is number"),
              std::string::npos);
    EXPECT_NE(errorOf(R"({"WindowWidth": null})").find("type must be number, but is null"), std::string::npos);
    EXPECT_NE(errorOf(R"({"PathScreenshots": false})").find("type must be string, but is boolean"),
              std::string::npos);
    EXPECT_THROW(loadConfigFrom(write("")), nlohmann::json::parse_error);
    EXPECT_THROW(loadConfigFrom(write("{} x")), nlohmann::json::parse_error);
}

TEST_F(ConfigFixture, SettingsBeforeABadKeyAreAlreadyTaken)
{
    EXPECT_NE(errorOf(R"({"WindowWidth": 800, "CheckManifoldness": "yes"})"), "");
    EXPECT_EQ(WindowWidth, 800);
}

TEST_F(ConfigFixture, NonPositiveWindowSizesKeepTheDefault)
{
    ASSERT_EQ(errorOf(R"({"WindowWidth": 0, "WindowHeight": -5})"), "");
    EXPECT_EQ(WindowWidth, 1024);
    EXPECT_EQ(WindowHeight, 768);
}

TEST_F(ConfigFixture, RelativePathsResolveAgainstTheWorkingDirectory)
{
    ASSERT_EQ(errorOf(R"({"PathScreenshots": "pics", "PathTexturePack": "pack.ktx"})"), "");
    EXPECT_EQ(PathScreenshots, dir / "pics");
    EXPECT_TRUE(fs::is_directory(dir / "pics"));
    EXPECT_EQ(PathTexturePack, dir / "pack.ktx");
}

TEST_F(ConfigFixture, ScreenshotFolderTwoLevelsBelowAMissingOneFails)
{
    EXPECT_THROW(loadConfigFrom(write(R"({"PathScreenshots": "a/b"})")), fs::filesystem_error);
}

TEST_F(ConfigFixture, MissingTexturePackNamesTheAbsolutePath)
{
    fs::remove(dir / "pack.ktx");
    EXPECT_EQ(errorOf("{}"), "can not find texture pack <" + (dir / "pack.ktx").string() + ">.");
    EXPECT_EQ(errorOf(R"({"PathTexturePack": "other.ktx"})"),
              "can not find texture pack <" + (dir / "other.ktx").string() + ">.");
}

TEST_F(ConfigFixture, ByteOrderMarkIsSkipped)
{
    ASSERT_EQ(errorOf("\xEF\xBB\xBF{\"WindowHeight\": 500}"), "");
    EXPECT_EQ(WindowHeight, 500);
}
