// Loading and saving real model files, checked against counts worked out
// here from the files themselves, and bad input of every kind.

#include "MeshTestSupport.h"

#include "Config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <unistd.h>

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool endsWith(const std::string& s, const std::string& tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Triangles a file describes, counted by a reader of our own: an n-gon gives
// n - 2 triangles; a triangle that names one vertex twice gives none.
size_t fileTriangleCount(const std::string& path)
{
    const std::string data = readAll(path);
    std::string lower = path;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    size_t count = 0;
    auto polygon = [&](const std::vector<long>& ids) {
        if (ids.size() == 3 && (ids[0] == ids[1] || ids[1] == ids[2] || ids[0] == ids[2])) return;
        if (ids.size() >= 3) count += ids.size() - 2;
    };
    if (endsWith(lower, ".obj")) {
        std::istringstream in(data);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("f ", 0) != 0) continue;
            std::istringstream tokens(line.substr(2));
            std::vector<long> ids;
            std::string tok;
            while (tokens >> tok) ids.push_back(std::stol(tok.substr(0, tok.find('/'))));
            polygon(ids);
        }
    } else if (endsWith(lower, ".stl")) {
        if (data.compare(0, 5, "solid") == 0 && data.find("facet") != std::string::npos) {
            for (size_t p = data.find("facet normal"); p != std::string::npos; p = data.find("facet normal", p + 1)) ++count;
        } else {
            uint32_t n = 0;
            std::memcpy(&n, data.data() + 80, 4);
            count = n;
        }
    } else if (endsWith(lower, ".off")) {
        std::istringstream in(data);
        std::string magic;
        size_t nv = 0, nf = 0, ne = 0;
        in >> magic >> nv >> nf >> ne;
        for (size_t i = 0; i < 3 * nv; ++i) {
            double skip;
            in >> skip;
        }
        for (size_t f = 0; f < nf; ++f) {
            size_t k = 0;
            in >> k;
            std::vector<long> ids(k);
            for (auto& id : ids) in >> id;
            polygon(ids);
        }
    } else if (endsWith(lower, ".ply")) {
        // Header: vertex element of scalar properties, face element with one
        // list of (uchar count, int index).
        const size_t headerEnd = data.find("end_header\n") + 11;
        std::istringstream header(data.substr(0, headerEnd));
        std::string line, element;
        size_t nv = 0, nf = 0, vertexBytes = 0, vertexProps = 0;
        bool ascii = false;
        while (std::getline(header, line)) {
            std::istringstream l(line);
            std::string word;
            l >> word;
            if (word == "format") {
                std::string f;
                l >> f;
                ascii = f == "ascii";
            } else if (word == "element") {
                size_t n;
                l >> element >> n;
                (element == "vertex" ? nv : nf) = element == "vertex" || element == "face" ? n : 0;
            } else if (word == "property" && element == "vertex") {
                std::string type;
                l >> type;
                ++vertexProps;
                vertexBytes += (type == "double" || type == "float64") ? 8
                             : (type == "uchar" || type == "uint8" || type == "char") ? 1
                                                                                    : 4;
            }
        }
        if (ascii) {
            std::istringstream in(data.substr(headerEnd));
            for (size_t i = 0; i < nv * vertexProps; ++i) {
                double skip;
                in >> skip;
            }
            for (size_t f = 0; f < nf; ++f) {
                size_t k = 0;
                in >> k;
                std::vector<long> ids(k);
                for (auto& id : ids) in >> id;
                polygon(ids);
            }
        } else {
            size_t p = headerEnd + nv * vertexBytes;
            for (size_t f = 0; f < nf; ++f) {
                const auto k = static_cast<unsigned char>(data[p++]);
                std::vector<long> ids(k);
                for (auto& id : ids) {
                    int32_t v;
                    std::memcpy(&v, data.data() + p, 4);
                    p += 4;
                    id = v;
                }
                polygon(ids);
            }
        }
    }
    return count;
}

using Pos = std::array<float, 3>;
Pos pos(const MeshVertex& v) { return {v.position[0], v.position[1], v.position[2]}; }

struct EdgeCounts {
    size_t boundary = 0, complex = 0;
};

// Edge classes of a mesh by the positions of its corners.
EdgeCounts edgeCountsByPosition(const std::vector<MeshVertex>& v, const std::vector<uint32_t>& i)
{
    std::map<std::pair<Pos, Pos>, int> uses;
    for (size_t t = 0; t + 2 < i.size(); t += 3) {
        // A triangle whose corners share a position is no triangle at all.
        const Pos p0 = pos(v[i[t]]), p1 = pos(v[i[t + 1]]), p2 = pos(v[i[t + 2]]);
        if (p0 == p1 || p1 == p2 || p0 == p2) continue;
        for (int c = 0; c < 3; ++c) {
            Pos a = pos(v[i[t + c]]), b = pos(v[i[t + (c + 1) % 3]]);
            if (b < a) std::swap(a, b);
            ++uses[{a, b}];
        }
    }
    EdgeCounts out;
    for (const auto& [edge, n] : uses) {
        if (n == 1) ++out.boundary;
        if (n > 2) ++out.complex;
    }
    return out;
}

class ModelFile : public ::testing::TestWithParam<std::string> {};

} // namespace

TEST_P(ModelFile, LoadsMergesAndChecksAsCountedIndependently)
{
    const std::string path = ModelDir + "/" + GetParam();
    SettingsGuard guard;

    // As the file stores it: no merge, no checks.
    MergeDuplicateVertices = false;
    CheckManifoldness = false;
    TriMesh raw;
    ASSERT_TRUE(loadDocument(raw, path));
    const size_t expectedTriangles = fileTriangleCount(path);
    ASSERT_GT(expectedTriangles, 0u);
    EXPECT_EQ(raw.indices.size() / 3, expectedTriangles);
    for (uint32_t idx : raw.indices) ASSERT_LT(idx, raw.vertices.size());

    std::set<Pos> distinct;
    for (const auto& r : raw.vertices) distinct.insert(pos(r));
    size_t stillTriangles = 0;
    for (size_t t = 0; t < raw.indices.size(); t += 3) {
        const Pos a = pos(raw.vertices[raw.indices[t]]), b = pos(raw.vertices[raw.indices[t + 1]]),
                  c = pos(raw.vertices[raw.indices[t + 2]]);
        if (a != b && b != c && a != c) ++stillTriangles;
    }
    const EdgeCounts edges = edgeCountsByPosition(raw.vertices, raw.indices);

    // As the application loads it.
    MergeDuplicateVertices = true;
    CheckManifoldness = true;
    TriMesh doc;
    ASSERT_TRUE(loadDocument(doc, path));
    EXPECT_EQ(doc.indices.size() / 3, stillTriangles);
    EXPECT_EQ(doc.boundaryEdges.size() / 2, edges.boundary);
    EXPECT_EQ(doc.complexEdges.size() / 2, edges.complex);
    EXPECT_EQ(doc.waterTight, edges.boundary == 0 && edges.complex == 0);
    if (edges.complex == 0) {
        EXPECT_EQ(doc.vertices.size(), distinct.size());
    } else {
        EXPECT_GT(doc.vertices.size(), distinct.size());
    }
    for (uint32_t idx : doc.indices) ASSERT_LT(idx, doc.vertices.size());
    for (const auto& r : doc.vertices) {
        for (float c : r.normal) ASSERT_TRUE(std::isfinite(c));
    }
    for (int a = 0; a < 3; ++a) {
        EXPECT_LE(doc.bboxMin[a], doc.center[a]);
        EXPECT_GE(doc.bboxMax[a], doc.center[a]);
    }
}

INSTANTIATE_TEST_SUITE_P(Models, ModelFile,
                         ::testing::Values("OBJ/box.obj", "OBJ/spider.obj", "PLY/cube.ply",
                                           "PLY/cube_binary.ply", "PLY/Wuson.ply",
                                           "STL/Spider_ascii.stl", "STL/Spider_binary.stl",
                                           "STL/triangle.stl", "STL/sphereWithHole.stl",
                                           "OFF/Cube.off", "OFF/Wuson.off"),
                         [](const auto& info) { return testParamName(info.param); });

TEST(ModelImport, MeshesAreOffsetAndLinesWarned)
{
    const auto dir = scratchDir("import");
    // Two objects of 4 and 3 vertices, a line, and a file without normals.
    writeFile(dir / "two.obj",
              "o a\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n"
              "o b\nv 5 0 0\nv 6 0 0\nv 5 1 0\nf 5 6 7\nl 5 6\n");
    SettingsGuard guard;
    MergeDuplicateVertices = false;
    testlog::clear();
    TriMesh doc;
    ASSERT_TRUE(loadDocument(doc, (dir / "two.obj").string()));
    EXPECT_EQ(doc.vertices.size(), 7u + 2u);
    ASSERT_GE(doc.indices.size(), 9u);
    EXPECT_TRUE(testlog::contains("Detected non-triangle face with 2 indice(s), ignored"));
    // The second mesh's triangle is numbered after the first mesh's records.
    bool found = false;
    for (size_t t = 0; t < doc.indices.size(); t += 3) {
        if (doc.vertices[doc.indices[t]].position[0] >= 5.0f) {
            found = true;
            EXPECT_GE(doc.indices[t], 4u);
        }
    }
    EXPECT_TRUE(found);
    EXPECT_FLOAT_EQ(doc.vertices[0].color[1], 0.7f);
}

TEST(ModelImport, PointsOnlyFileKeepsItsRecordsUnmerged)
{
    SettingsGuard guard;
    MergeDuplicateVertices = true;
    testlog::clear();
    TriMesh doc;
    ASSERT_TRUE(loadDocument(doc, ModelDir + "/PLY/points.ply"));
    EXPECT_TRUE(doc.indices.empty());
    EXPECT_FALSE(doc.vertices.empty());
    EXPECT_TRUE(testlog::contains("No triangle found in model file <"));
    // Nothing to write: made-up triangles would be wrong.
    const auto out = scratchDir("points") / "p.stl";
    EXPECT_EQ(doc.saveFile(out.string(), "stl", doc.vertices, doc.indices, true, nullptr), 1);
    EXPECT_FALSE(std::filesystem::exists(out));
}

// Bytes of a small binary PLY: three vertices and the given faces.
std::string binaryPly(const std::vector<std::array<float, 3>>& verts,
                      const std::vector<std::array<int32_t, 3>>& faces, size_t dropTail = 0)
{
    std::string out = "ply\nformat binary_little_endian 1.0\nelement vertex " + std::to_string(verts.size()) +
                      "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
                      std::to_string(faces.size()) + "\nproperty list uchar int vertex_indices\nend_header\n";
    for (const auto& v : verts) out.append(reinterpret_cast<const char*>(v.data()), 12);
    for (const auto& f : faces) {
        out.push_back(3);
        out.append(reinterpret_cast<const char*>(f.data()), 12);
    }
    out.resize(out.size() - dropTail);
    return out;
}

std::string binaryStl(uint32_t claimed, uint32_t actual)
{
    std::string out(80, ' ');
    out.append(reinterpret_cast<const char*>(&claimed), 4);
    for (uint32_t t = 0; t < actual; ++t) {
        const float tri[12] = {0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0};
        out.append(reinterpret_cast<const char*>(tri), 48);
        out.append(2, '\0');
    }
    return out;
}

class BadInput : public ::testing::TestWithParam<std::string> {};

TEST_P(BadInput, FailsCleanlyAndKeepsTheDocument)
{
    const auto dir = scratchDir("bad");
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const std::map<std::string, std::string> files = {
        {"zero.ply", ""},
        {"zero.stl", ""},
        {"truncated_header.ply", binaryPly({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}).substr(0, 40)},
        {"truncated_vertices.ply", binaryPly({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}, 20)},
        {"truncated.stl", binaryStl(1000, 2)},
        {"nan.ply", binaryPly({{0, 0, 0}, {nan, 0, 0}, {0, 1, 0}}, {{0, 1, 2}})},
        {"inf.ply", binaryPly({{0, 0, 0}, {inf, 0, 0}, {0, 1, 0}}, {{0, 1, 2}})},
        {"garbage.obj", "this is not a model file at all"},
        {"truncated.off", "OFF\n3 1 0\n0 0 0\n1 0"},
        {"truncated_ascii.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                                "property float z\nelement face 1\nproperty list uchar int vertex_indices\n"
                                "end_header\n0 0 0\n1 0 0\n0 1 0\n3 0 1"},
    };
    std::string path;
    if (GetParam() == "folder") {
        path = (dir / "folder.obj").string();
        std::filesystem::create_directories(path);
    } else if (GetParam() == "device") {
        path = "/dev/zero";
    } else if (GetParam() == "missing") {
        path = (dir / "missing.obj").string();
    } else if (GetParam().rfind("invalid/", 0) == 0) {
        path = ModelDir + "/" + GetParam();
    } else {
        path = (dir / GetParam()).string();
        writeFile(path, files.at(GetParam()));
    }

    TriMesh doc;
    TaskStatus status;
    doc.taskStatus = &status;
    ASSERT_TRUE(loadDocument(doc, writeTetraObj(dir)));
    const auto before = positionTriangles(doc.vertices, doc.indices);

    testlog::clear();
    ASSERT_TRUE(doc.loadFileAsync(path));
    const uint32_t state = waitForTask(doc.ioTask.state);
    EXPECT_EQ(state, TaskFailed) << path;
    EXPECT_EQ(status.progress.load(), 100u);
    EXPECT_FALSE(doc.takeLoadResult());
    doc.ioTask.state = TaskIdle;
    EXPECT_EQ(positionTriangles(doc.vertices, doc.indices), before);
    EXPECT_TRUE(doc.ioTask.vertices.empty());
    const auto log = testlog::messages();
    const bool errorLogged = std::any_of(log.begin(), log.end(), [](const std::string& l) {
        return l.find("Failed to load model file <") != std::string::npos ||
               l.find("vertex coordinate detected in file <") != std::string::npos ||
               l.find("Load file Error: ") != std::string::npos;
    });
    EXPECT_TRUE(errorLogged) << path;
}

INSTANTIATE_TEST_SUITE_P(Files, BadInput,
                         ::testing::Values("zero.ply", "zero.stl", "truncated_header.ply",
                                           "truncated_vertices.ply", "truncated.stl", "nan.ply",
                                           "inf.ply", "garbage.obj", "folder", "device", "missing",
                                           "invalid/empty.obj", "invalid/empty.ply",
                                           "invalid/empty.off", "invalid/empty.3ds",
                                           "invalid/empty.x", "invalid/malformed.obj",
                                           "invalid/empty.ase", "invalid/empty.lwo",
                                           "invalid/empty.md5mesh", "invalid/empty.raw",
                                           "invalid/empty.smd", "invalid/emptyIrrMesh.xml",
                                           "invalid/OutOfMemory.off", "truncated.off",
                                           "truncated_ascii.ply"),
                         [](const auto& info) { return testParamName(info.param); });

TEST(ModelImport, FacesPointingPastTheirVerticesAreSkipped)
{
    const auto dir = scratchDir("range");
    writeFile(dir / "range.ply",
              binaryPly({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 1, 2}, {0, 1, 9}, {-5, 1, 2}, {0, 3, 1}}));
    testlog::clear();
    TriMesh doc;
    ASSERT_TRUE(loadDocument(doc, (dir / "range.ply").string()));
    EXPECT_EQ(doc.indices.size(), 6u);
    for (uint32_t idx : doc.indices) EXPECT_LT(idx, doc.vertices.size());
    EXPECT_EQ(testlog::count("Detected face with out-of-range index, ignored"), 2u);
}

TEST(ModelImport, UnreadableFileFails)
{
    if (::geteuid() == 0) GTEST_SKIP() << "root reads files whatever their mode";
    const auto path = scratchDir("unreadable") / "locked.obj";
    writeFile(path, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    std::filesystem::permissions(path, std::filesystem::perms::none);
    TriMesh doc;
    EXPECT_FALSE(loadDocument(doc, path.string()));
    EXPECT_TRUE(doc.vertices.empty());
}

TEST(ModelImport, MalformedObjOfTheTestModels)
{
    // Out-of-range indices and a missing material: must not crash, and
    // whatever loads references only existing records.
    for (const char* name : {"invalid/malformed.obj", "invalid/malformed2.obj"}) {
        TriMesh doc;
        if (loadDocument(doc, ModelDir + "/" + name)) {
            for (uint32_t idx : doc.indices) EXPECT_LT(idx, doc.vertices.size()) << name;
        }
    }
}
