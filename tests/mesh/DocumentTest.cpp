// The document: format lists, the extension test, progress record and the
// load/save task engine with its refusals.

#include "MeshTestSupport.h"

#include "Config.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// A flat grid in PLY binary with (w + 1)^2 vertices and 2 w^2 triangles.
std::string plyGrid(uint32_t w)
{
    std::string out = "ply\nformat binary_little_endian 1.0\nelement vertex " +
                      std::to_string((w + 1) * (w + 1)) +
                      "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
                      std::to_string(2 * w * w) + "\nproperty list uchar int vertex_indices\nend_header\n";
    auto put = [&](const void* p, size_t n) { out.append(static_cast<const char*>(p), n); };
    for (uint32_t y = 0; y <= w; ++y) {
        for (uint32_t x = 0; x <= w; ++x) {
            const float p[3] = {static_cast<float>(x), static_cast<float>(y), 0};
            put(p, sizeof(p));
        }
    }
    for (uint32_t y = 0; y < w; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const int32_t a = static_cast<int32_t>(y * (w + 1) + x), b = a + 1,
                          c = a + static_cast<int32_t>(w) + 2, d = a + static_cast<int32_t>(w) + 1;
            const unsigned char three = 3;
            const int32_t t1[3] = {a, b, c}, t2[3] = {a, c, d};
            put(&three, 1);
            put(t1, sizeof(t1));
            put(&three, 1);
            put(t2, sizeof(t2));
        }
    }
    return out;
}

bool hasId(const TriMesh& doc, const std::string& id)
{
    return std::any_of(doc.exportFormats.begin(), doc.exportFormats.end(),
                       [&](const ExportFormatInfo& f) { return f.id == id; });
}

} // namespace

TEST(Document, StartsEmptyWithTheLibraryFormatLists)
{
    TriMesh doc;
    EXPECT_TRUE(doc.vertices.empty());
    EXPECT_TRUE(doc.indices.empty());
    EXPECT_FALSE(doc.waterTight);
    EXPECT_EQ(doc.taskStatus, nullptr);
    EXPECT_EQ(doc.ioTask.state.load(), TaskIdle);
    EXPECT_EQ(doc.remeshTask.state.load(), TaskIdle);
    EXPECT_FALSE(doc.importFormats.empty());
    for (const char* id : {"obj", "stl", "stlb", "ply", "plyb"}) EXPECT_TRUE(hasId(doc, id)) << id;
    for (const char* ext : {"obj", "ply", "stl", "off", "3ds", "prj"}) {
        EXPECT_NE(std::find(doc.importExtensions.begin(), doc.importExtensions.end(), ext),
                  doc.importExtensions.end())
            << ext;
    }
    EXPECT_EQ(std::count(doc.importExtensions.begin(), doc.importExtensions.end(), ""), 0);
}

TEST(Document, ExtensionTest)
{
    TriMesh doc;
    EXPECT_TRUE(doc.isSupportedFileExtension("Model.OBJ"));
    EXPECT_TRUE(doc.isSupportedFileExtension("/some/dir/part.Stl"));
    EXPECT_FALSE(doc.isSupportedFileExtension("model.obj.bak"));
    EXPECT_FALSE(doc.isSupportedFileExtension("obj"));
    EXPECT_TRUE(doc.isSupportedFileExtension(".obj"));
    EXPECT_TRUE(doc.isSupportedFileExtension("x.3ds"));
    EXPECT_TRUE(doc.isSupportedFileExtension("x.prj"));
    EXPECT_FALSE(doc.isSupportedFileExtension("name."));
    EXPECT_FALSE(doc.isSupportedFileExtension(""));

    doc.importExtensions = {"obj"};
    EXPECT_TRUE(doc.isSupportedFileExtension("A.OBJ"));
    EXPECT_FALSE(doc.isSupportedFileExtension("a.ply"));
    doc.importExtensions.clear();
    EXPECT_FALSE(doc.isSupportedFileExtension("a.obj"));
}

TEST(TaskStatusRecord, ProgressOperations)
{
    TaskStatus s;
    s.progress = 42;
    s.reset("Load");
    EXPECT_EQ(s.name, "Load");
    EXPECT_EQ(s.stageStart.load(), 0u);
    EXPECT_EQ(s.stageEnd.load(), 100u);
    EXPECT_EQ(s.progress.load(), 42u);

    progress::stage(&s, 5, 50);
    EXPECT_EQ(s.progress.load(), 5u);
    EXPECT_EQ(s.stageEnd.load(), 50u);
    progress::advance(&s, 0.4); // 5 + trunc(45 * 0.4)
    EXPECT_EQ(s.progress.load(), 23u);
    progress::advance(&s, 0.7); // 23 + trunc(27 * 0.7)
    EXPECT_EQ(s.progress.load(), 41u);
    progress::set(&s, 70);
    EXPECT_EQ(s.progress.load(), 50u);
    progress::closeStage(&s);
    EXPECT_EQ(s.progress.load(), 50u);
    EXPECT_EQ(s.stageEnd.load(), 100u);
    progress::set(&s, 60);
    EXPECT_EQ(s.progress.load(), 60u);
    progress::finish(&s);
    EXPECT_EQ(s.progress.load(), 100u);

    // Without a record nothing happens.
    progress::stage(nullptr, 5, 50);
    progress::advance(nullptr, 0.5);
    progress::closeStage(nullptr);
    progress::finish(nullptr);
}

TEST(TaskEngine, LaunchersRefuseWhileAnyTaskRuns)
{
    TriMesh doc;
    testlog::clear();
    doc.remeshTask.state = TaskRunning;
    EXPECT_FALSE(doc.loadFileAsync("whatever.obj"));
    EXPECT_TRUE(testlog::contains(
        "Can not start loading file, another task is runing, please wait for it to finish."));
    EXPECT_EQ(doc.ioTask.state.load(), TaskIdle);
    doc.remeshTask.state = TaskIdle;

    doc.ioTask.state = TaskDone;
    EXPECT_FALSE(doc.saveFileAsync("out.obj", "obj", true));
    EXPECT_TRUE(testlog::contains(
        "Can not start saving file, another task is runing, please wait for it to finish."));
    EXPECT_FALSE(doc.loadFileAsync("whatever.obj"));
    EXPECT_EQ(doc.ioTask.state.load(), TaskDone);
    doc.ioTask.state = TaskIdle;
    EXPECT_FALSE(doc.takeLoadResult());
}

TEST(TaskEngine, LoadProgressClimbsToHundredAndResultIsPublishedByTheMainThread)
{
    const auto dir = scratchDir("progress");
    writeFile(dir / "grid.ply", plyGrid(300));
    TriMesh doc;
    TaskStatus status;
    doc.taskStatus = &status;
    ASSERT_TRUE(doc.loadFileAsync((dir / "grid.ply").string()));
    EXPECT_EQ(status.name, "Load");
    std::vector<uint32_t> seen;
    while (doc.ioTask.state.load() == TaskRunning) {
        seen.push_back(status.progress.load());
        // The document stays as it was until the main thread takes the result.
        ASSERT_TRUE(doc.vertices.empty());
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ASSERT_EQ(doc.ioTask.state.load(), TaskDone);
    EXPECT_EQ(status.progress.load(), 100u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_TRUE(doc.vertices.empty());
    ASSERT_TRUE(doc.takeLoadResult());
    EXPECT_EQ(doc.ioTask.state.load(), TaskIdle);
    EXPECT_EQ(doc.vertices.size(), 301u * 301u);
    EXPECT_EQ(doc.indices.size(), 6u * 300 * 300);
    EXPECT_EQ(doc.boundaryEdges.size(), 2u * 4 * 300);
    EXPECT_TRUE(doc.complexEdges.empty());
    EXPECT_FALSE(doc.waterTight);
    EXPECT_FLOAT_EQ(doc.bboxMax[0], 300.0f);
    EXPECT_FLOAT_EQ(doc.center[0], 150.0f);
    EXPECT_TRUE(doc.ioTask.vertices.empty());
    EXPECT_FALSE(doc.takeLoadResult());
}

TEST(TaskEngine, FailedLoadKeepsTheDocument)
{
    const auto dir = scratchDir("failed");
    writeFile(dir / "empty.obj", "");
    TriMesh doc;
    TaskStatus status;
    doc.taskStatus = &status;
    ASSERT_TRUE(loadDocument(doc, writeTetraObj(dir)));
    EXPECT_TRUE(doc.waterTight);
    const auto vertices = doc.vertices;
    const auto indices = doc.indices;
    const float centre[3] = {doc.center[0], doc.center[1], doc.center[2]};

    testlog::clear();
    ASSERT_TRUE(doc.loadFileAsync((dir / "empty.obj").string()));
    EXPECT_EQ(waitForTask(doc.ioTask.state), TaskFailed);
    EXPECT_EQ(status.progress.load(), 100u);
    EXPECT_TRUE(testlog::contains("Failed to load model file <"));
    EXPECT_FALSE(doc.takeLoadResult());
    doc.ioTask.state = TaskIdle;
    EXPECT_EQ(doc.indices, indices);
    ASSERT_EQ(doc.vertices.size(), vertices.size());
    EXPECT_EQ(doc.center[0], centre[0]);
    EXPECT_EQ(doc.center[2], centre[2]);
    EXPECT_TRUE(doc.waterTight);
}

TEST(TaskEngine, EachLoadDecidesOnNormalsAndWaterTightnessAfresh)
{
    SettingsGuard guard;
    ComputeVertexNormals = false;
    const auto dir = scratchDir("fresh");
    // Deliberate file normals that differ from the computed (0, 0, 1).
    writeFile(dir / "own.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 1 0 0\nf 1//1 2//1 3//1\n");
    writeFile(dir / "bare.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const std::string tetra = writeTetraObj(dir);
    TriMesh doc;

    ASSERT_TRUE(loadDocument(doc, (dir / "own.obj").string()));
    EXPECT_FLOAT_EQ(doc.vertices[0].normal[0], 1.0f);
    ASSERT_TRUE(loadDocument(doc, (dir / "bare.obj").string()));
    EXPECT_FLOAT_EQ(doc.vertices[0].normal[2], 1.0f);
    ASSERT_TRUE(loadDocument(doc, (dir / "own.obj").string()));
    EXPECT_FLOAT_EQ(doc.vertices[0].normal[0], 1.0f);
    ComputeVertexNormals = true;
    ASSERT_TRUE(loadDocument(doc, (dir / "own.obj").string()));
    EXPECT_FLOAT_EQ(doc.vertices[0].normal[2], 1.0f);

    ASSERT_TRUE(loadDocument(doc, tetra));
    EXPECT_TRUE(doc.waterTight);
    CheckManifoldness = false;
    ASSERT_TRUE(loadDocument(doc, (dir / "bare.obj").string()));
    EXPECT_FALSE(doc.waterTight);
    EXPECT_TRUE(doc.boundaryEdges.empty());
}

TEST(TaskEngine, SaveRunsOnTheIoGroup)
{
    const auto dir = scratchDir("save");
    TriMesh doc;
    TaskStatus status;
    doc.taskStatus = &status;
    ASSERT_TRUE(loadDocument(doc, writeTetraObj(dir)));
    ASSERT_TRUE(doc.saveFileAsync((dir / "out.stl").string(), "stl", true));
    EXPECT_EQ(status.name, "Save");
    EXPECT_EQ(waitForTask(doc.ioTask.state), TaskDone);
    EXPECT_EQ(status.progress.load(), 100u);
    EXPECT_TRUE(std::filesystem::exists(dir / "out.stl"));
    // A finished save is no load result: the mesh stays.
    EXPECT_FALSE(doc.takeLoadResult());
    EXPECT_EQ(doc.vertices.size(), 4u);
    doc.ioTask.state = TaskIdle;

    ASSERT_TRUE(doc.saveFileAsync((dir / "out.x").string(), "no-such-format", true));
    EXPECT_EQ(waitForTask(doc.ioTask.state), TaskFailed);
    EXPECT_EQ(status.progress.load(), 100u);
    EXPECT_TRUE(testlog::contains("Failed to export file <"));
}

TEST(TaskEngine, DestroyingTheDocumentWaitsForARunningLoad)
{
    const auto dir = scratchDir("destroy");
    writeFile(dir / "grid.ply", plyGrid(400));
    // Going away at different stages of the load: import, merge, checks.
    for (int round = 0; round < 12; ++round) {
        auto doc = std::make_unique<TriMesh>();
        TaskStatus status;
        doc->taskStatus = &status;
        ASSERT_TRUE(doc->loadFileAsync((dir / "grid.ply").string()));
        std::this_thread::sleep_for(std::chrono::milliseconds(round * 8));
        EXPECT_NO_THROW(doc.reset());
    }
}
