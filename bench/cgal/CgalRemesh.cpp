// tamrel-cgal-remesh FILE [--density F] [--iterations N] [--out OUT.off]
// Loads FILE as the application does, remeshes it with CGAL's isotropic
// remeshing at our uniform target edge length, prints the shared report.

#include "Bench.h"
#include "Quality.h"

#include "Timer.h"

#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_mesh_processing/remesh.h>
#include <CGAL/Surface_mesh.h>
#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

typedef CGAL::Exact_predicates_inexact_constructions_kernel K;
typedef CGAL::Surface_mesh<K::Point_3> Mesh;
namespace PMP = CGAL::Polygon_mesh_processing;

int main(int argc, char** argv)
{
    auto logger = std::make_shared<spdlog::logger>("tamrel_log",
                                                   std::make_shared<spdlog::sinks::stderr_color_sink_mt>());
    spdlog::register_logger(logger);
    std::string file, out;
    float density = 1.0f;
    unsigned iterations = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--density" && i + 1 < argc)
            density = std::stof(argv[++i]);
        else if (a == "--iterations" && i + 1 < argc)
            iterations = static_cast<unsigned>(std::stoul(argv[++i]));
        else if (a == "--out" && i + 1 < argc)
            out = argv[++i];
        else
            file = a;
    }
    if (file.empty()) {
        std::fprintf(stderr, "usage: tamrel-cgal-remesh FILE [--density F] [--iterations N] [--out OUT.off]\n");
        return 2;
    }

    TriMesh doc;
    if (!doc.loadFileAsync(file) || benchWaitTask(doc.ioTask.state) != TaskDone || !doc.takeLoadResult()) {
        std::fprintf(stderr, "loading %s failed\n", file.c_str());
        return 1;
    }

    const QualityMesh input = qualityMesh(doc.vertices, doc.indices);

    Mesh mesh;
    std::vector<Mesh::Vertex_index> vh;
    for (const auto& p : input.points) vh.push_back(mesh.add_vertex(K::Point_3(p[0], p[1], p[2])));
    size_t refused = 0;
    for (const auto& t : input.triangles) {
        if (t[0] == t[1] || t[1] == t[2] || t[0] == t[2] ||
            mesh.add_face(vh[t[0]], vh[t[1]], vh[t[2]]) == Mesh::null_face()) {
            ++refused;
        }
    }
    // Same target as our uniform set-up: L = sqrt(area / N * 2.31).
    const double area = PMP::area(mesh);
    const uint64_t n = std::max<uint64_t>(
        1, static_cast<uint64_t>(static_cast<float>(mesh.number_of_faces()) * density));
    const double target = std::sqrt(area / static_cast<double>(n) * 2.31);
    std::printf("input faces=%zu vertices=%zu refused=%zu target_length=%f\n", input.triangles.size(),
                input.points.size(), refused, target);

    const int64_t start = Timer::nowNs();
    PMP::isotropic_remeshing(faces(mesh), target, mesh, PMP::parameters::number_of_iterations(iterations));
    mesh.collect_garbage();
    const double seconds = static_cast<double>(Timer::nowNs() - start) / 1e9;

    QualityMesh result;
    for (auto v : mesh.vertices()) {
        const auto& p = mesh.point(v);
        result.points.push_back({p.x(), p.y(), p.z()});
    }
    for (auto f : mesh.faces()) {
        std::array<uint32_t, 3> t{};
        int k = 0;
        for (auto v : vertices_around_face(mesh.halfedge(f), mesh)) t[k++] = static_cast<uint32_t>(v.idx());
        result.triangles.push_back(t);
    }
    printQualityReport(stdout, "cgal", seconds, measureQuality(result, input, target));
    if (!out.empty()) {
        std::ofstream os(out);
        os.precision(17);
        os << mesh;
    }
    return 0;
}
