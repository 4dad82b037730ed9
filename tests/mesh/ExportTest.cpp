// Writing the document through the exporter and reading it back.

#include "MeshTestSupport.h"

#include "Config.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class ExportFormat : public ::testing::TestWithParam<std::pair<std::string, std::string>> {};

} // namespace

TEST_P(ExportFormat, WritesTheSameTrianglesItReadsBack)
{
    const auto& [id, ext] = GetParam();
    TriMesh doc;
    ASSERT_TRUE(loadDocument(doc, ModelDir + "/STL/Spider_binary.stl"));
    const auto out = scratchDir("export_" + id) / ("spider." + ext);
    TaskStatus status;
    EXPECT_EQ(doc.saveFile(out.string(), id, doc.vertices, doc.indices, true, &status), 0);
    EXPECT_EQ(status.progress.load(), 100u);

    TriMesh back;
    ASSERT_TRUE(loadDocument(back, out.string()));
    EXPECT_EQ(back.indices.size(), doc.indices.size());
    EXPECT_EQ(positionTriangles(back.vertices, back.indices), positionTriangles(doc.vertices, doc.indices));
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportFormat,
                         ::testing::Values(std::make_pair("obj", "obj"), std::make_pair("ply", "ply"),
                                           std::make_pair("plyb", "ply"), std::make_pair("stl", "stl"),
                                           std::make_pair("stlb", "stl")),
                         [](const auto& info) { return info.param.first; });

TEST(Export, EmptyDocumentIsRefusedAndNothingWritten)
{
    TriMesh doc;
    testlog::clear();
    const auto out = scratchDir("export_empty") / "none.obj";
    EXPECT_EQ(doc.saveFile(out.string(), "obj", doc.vertices, doc.indices, true, nullptr), 1);
    EXPECT_TRUE(testlog::contains("No mesh data to save."));
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(Export, NormalsOnlyWhenAskedAndUnknownFormatFails)
{
    TriMesh doc;
    std::vector<MeshVertex> v;
    std::vector<uint32_t> i;
    tetrahedron(v, i);
    TriMesh::ComputeVertexNormals(v, i);
    const auto dir = scratchDir("export_normals");
    ASSERT_EQ(doc.saveFile((dir / "with.ply").string(), "ply", v, i, true, nullptr), 0);
    ASSERT_EQ(doc.saveFile((dir / "without.ply").string(), "ply", v, i, false, nullptr), 0);
    EXPECT_NE(readText(dir / "with.ply").find("property float nx"), std::string::npos);
    EXPECT_EQ(readText(dir / "without.ply").find("property float nx"), std::string::npos);
    EXPECT_NE(readText(dir / "without.ply").find("element face 4"), std::string::npos);

    testlog::clear();
    EXPECT_EQ(doc.saveFile((dir / "x.bad").string(), "no-such-format", v, i, true, nullptr), 1);
    EXPECT_TRUE(testlog::contains("Failed to export file <"));
}

TEST(Export, EveryOfferedFormatEitherWritesOrFailsCleanly)
{
    TriMesh doc;
    std::vector<MeshVertex> v;
    std::vector<uint32_t> i;
    tetrahedron(v, i);
    const auto dir = scratchDir("export_all");
    for (const auto& f : doc.exportFormats) {
        const auto out = dir / ("tetra." + f.fileExtension);
        const int result = doc.saveFile(out.string(), f.id, v, i, true, nullptr);
        if (result == 0) {
            EXPECT_TRUE(std::filesystem::exists(out)) << f.id;
        }
    }
}
