// Damaged model files, one-CPU machines and warning floods: a load refuses
// or finishes, fast, and never floods the log.

#include "MeshTestSupport.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <tbb/task_arena.h>

#include <chrono>
#include <map>

namespace {

const std::string MalformedDir = TAMREL_MALFORMED_DIR;

std::string repeat(const std::string& s, size_t n)
{
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

const std::string AsciiHeader = "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                                "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n";

// Files that crashed, hung or flooded the readers, made here, and their
// neighbours in other formats and encodings.
std::string generated(const std::string& name)
{
    const std::string objVertices = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";
    if (name == "nul_body.ply") return "ply\nformat ascii 1.0\nend_header\n" + std::string(1 << 20, '\0');
    if (name == "lone_carriage_return.ply") return AsciiHeader + "0 0 0\r1 0 0\n0 1 0\n3 0 1 2\n";
    if (name == "list_longer_than_its_line.ply") return AsciiHeader + "0 0 0\n1 0 0\n0 1 0\n2147483647 0 1 2\n";
    if (name == "binary_element_without_properties.ply") {
        return "ply\nformat binary_little_endian 1.0\nelement face 99999999999\nend_header\n";
    }
    if (name == "binary_quad_out_of_range.ply") {
        std::string out = "ply\nformat binary_little_endian 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
                          "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n";
        out += std::string(48, '\0');
        out.push_back(4);
        const int32_t quad[4] = {0, 1, 2, 7};
        out.append(reinterpret_cast<const char*>(quad), sizeof(quad));
        return out;
    }
    if (name == "comment_before_counts.off") return "# no word\n1 100000000 0\n0 0 0\n";
    if (name == "off_word_empty_faces.off") return "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n0\n0\n";
    if (name == "huge_polygon.obj") return objVertices + "f" + repeat(" 1 2 3 4", 25000) + "\n";
    if (name == "absurd_index_digits.obj") return objVertices + "f 1 1 1" + std::string(330000, '9') + "\n";
    if (name == "single_vertex_polyline.obj") return objVertices + "l 1 2 3 4\nl 3\nl 2 4 3\nl 1\nl 2 3 4 1\nl 4\n";
    if (name == "long_blank_run.obj") return objVertices + std::string(100000, ' ') + std::string(100000, '\n');
    return {};
}

class Malformed : public ::testing::TestWithParam<std::string> {};

} // namespace

TEST_P(Malformed, IsRefusedFastAndKeepsTheDocument)
{
    const auto dir = scratchDir("malformed");
    std::string path = MalformedDir + "/" + GetParam();
    if (const std::string bytes = generated(GetParam()); !bytes.empty()) {
        path = (dir / GetParam()).string();
        writeFile(path, bytes);
    }
    TriMesh doc;
    ASSERT_TRUE(loadDocument(doc, writeTetraObj(dir)));
    const auto before = positionTriangles(doc.vertices, doc.indices);

    testlog::clear();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(doc.loadFileAsync(path));
    EXPECT_EQ(waitForTask(doc.ioTask.state), TaskFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(doc.takeLoadResult());
    doc.ioTask.state = TaskIdle;
    EXPECT_EQ(positionTriangles(doc.vertices, doc.indices), before);
    EXPECT_TRUE(testlog::contains("Failed to load model file <" + path + ">: ")) << path;
    EXPECT_LT(testlog::messages().size(), 10u);
}

INSTANTIATE_TEST_SUITE_P(Files, Malformed,
                         ::testing::Values("quad-face-index-out-of-range.ply", "polygon-face-index-out-of-range.ply",
                                           "more-empty-faces-than-declared.off",
                                           "element-without-properties-huge-count.ply",
                                           "no-header-word-1e8-faces.off", "nul_body.ply",
                                           "lone_carriage_return.ply", "list_longer_than_its_line.ply",
                                           "binary_element_without_properties.ply", "binary_quad_out_of_range.ply",
                                           "comment_before_counts.off", "off_word_empty_faces.off",
                                           "huge_polygon.obj", "absurd_index_digits.obj",
                                           "single_vertex_polyline.obj", "long_blank_run.obj"),
                         [](const auto& info) { return testParamName(info.param); });

TEST(LoadWarnings, ARepeatedWarningStopsAfterAHundredWithOneCount)
{
    const auto dir = scratchDir("flood");
    writeFile(dir / "flood.off", "OFF\n3 251 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n" + repeat("3 0 0 1\n", 250));
    testlog::clear();
    TriMesh doc;
    ASSERT_TRUE(loadDocument(doc, (dir / "flood.off").string()));
    EXPECT_EQ(doc.indices.size(), 3u);
    EXPECT_EQ(testlog::count("Detected degenerate face, ignored"), 100u);
    EXPECT_TRUE(testlog::contains("Detected degenerate face: 150 more occurrence(s) not shown."));
}

// With one CPU the task scheduler starts no worker thread; every task must
// still run to its end while the caller only polls.
TEST(OneCpu, LoadSaveAndRemeshFinish)
{
    cpu_set_t allowed;
    ASSERT_EQ(sched_getaffinity(0, sizeof(allowed), &allowed), 0);
    int cpu = 0;
    while (!CPU_ISSET(cpu, &allowed)) ++cpu;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
    if (tbb::this_task_arena::max_concurrency() != 1) GTEST_SKIP() << "the scheduler started before the test";

    const auto dir = scratchDir("onecpu");
    std::vector<MeshVertex> v;
    std::vector<uint32_t> i;
    unitCube(v, i);
    std::string obj;
    for (const auto& r : v) obj += "v " + std::to_string(r.position[0]) + " " + std::to_string(r.position[1]) + " " +
                                   std::to_string(r.position[2]) + "\n";
    for (size_t t = 0; t < i.size(); t += 3) {
        obj += "f " + std::to_string(i[t] + 1) + " " + std::to_string(i[t + 1] + 1) + " " + std::to_string(i[t + 2] + 1) + "\n";
    }
    writeFile(dir / "cube.obj", obj);

    TriMesh doc;
    ASSERT_TRUE(loadDocument(doc, (dir / "cube.obj").string()));
    EXPECT_EQ(doc.indices.size(), 36u);
    ASSERT_TRUE(doc.saveFileAsync((dir / "saved.ply").string(), "ply", true));
    EXPECT_EQ(waitForTask(doc.ioTask.state), TaskDone);
    doc.ioTask.state = TaskIdle;
    EXPECT_TRUE(std::filesystem::exists(dir / "saved.ply"));
    ASSERT_TRUE(doc.remeshAsync(0, 4.0f, false, 5.0));
    EXPECT_EQ(waitForTask(doc.remeshTask.state), TaskDone);
    doc.remeshTask.state = TaskIdle;
    EXPECT_GT(doc.remeshTask.resultIndices.size(), 36u);
}
