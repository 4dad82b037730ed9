// tamrel-bench remesh and smooth: load as the application does, run the
// document task, print its wall time and the shape report, write the result.

#include "Bench.h"
#include "Quality.h"

#include "Timer.h"


#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {

// Target length per working vertex (adaptive) or empty (uniform).
std::vector<double> targetsOf(const Remesher& r)
{
    std::vector<double> targets;
    if (r.type != RemeshTypeAdaptive) return targets;
    targets.reserve(r.working.n_vertices());
    for (auto v : r.working.all_vertices()) targets.push_back(r.working.property(r.adaptiveSizing, v));
    return targets;
}

void writeResult(TriMesh& doc, const std::string& out)
{
    std::string ext = out.substr(out.find_last_of('.') + 1);
    std::string format;
    for (const ExportFormatInfo& f : doc.exportFormats)
        if (f.fileExtension == ext) {
            format = f.id;
            break;
        }
    if (format.empty()) throw std::runtime_error("no exporter for ." + ext);
    doc.applyNewMesh();
    TaskStatus status;
    doc.taskStatus = &status;
    if (!doc.saveFileAsync(out, format, true) || benchWaitTask(doc.ioTask.state) != TaskDone) {
        throw std::runtime_error("saving " + out + " failed");
    }
    doc.ioTask.state = TaskIdle;
}

struct Options {
    std::string file;
    bool adaptive = false;
    float density = 1.0f;
    double ratio = 5.0;
    int continuous = 0;
    std::string out;
};

Options parse(const std::vector<std::string>& args, bool remesh)
{
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw std::runtime_error("missing value after " + a);
            return args[++i];
        };
        if (remesh && a == "--type") {
            const std::string& t = value();
            if (t != "uniform" && t != "adaptive") throw std::runtime_error("--type is uniform or adaptive");
            o.adaptive = t == "adaptive";
        } else if (remesh && a == "--density") {
            o.density = std::stof(value());
        } else if (remesh && a == "--ratio") {
            o.ratio = std::stod(value());
        } else if (remesh && a == "--continuous") {
            o.continuous = std::stoi(value());
        } else if (a == "--out") {
            o.out = value();
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            throw std::runtime_error("unexpected argument " + a);
        }
    }
    if (o.file.empty()) throw std::runtime_error("no input file");
    return o;
}

int runEditing(const std::vector<std::string>& args, bool remesh)
{
    const Options o = parse(args, remesh);
    TriMesh doc;
    TaskStatus status;
    if (!benchLoadDocument(doc, status, o.file, nullptr)) return 1;
    std::printf("input faces=%zu vertices=%zu boundary_edges=%zu complex_edges=%zu\n", doc.indices.size() / 3,
                doc.vertices.size(), doc.boundaryEdges.size() / 2, doc.complexEdges.size() / 2);

    const int runs = remesh ? 1 + o.continuous : 1;
    for (int run = 0; run < runs; ++run) {
        doc.taskStatus = &status;
        const int64_t start = Timer::nowNs();
        const bool started = remesh ? doc.remeshAsync(o.adaptive ? 1 : 0, o.density, run > 0, o.ratio)
                                    : doc.smoothAsync();
        if (!started) return 1;
        const uint32_t state = benchWaitTask(doc.remeshTask.state);
        const double seconds = static_cast<double>(Timer::nowNs() - start) / 1e9;
        doc.remeshTask.state = TaskIdle;
        if (state != TaskDone) {
            std::fprintf(stderr, "task failed\n");
            return 1;
        }
        std::printf("task_time_s=%.3f task_peak_rss_mib=%.1f\n", seconds, benchPeakRssMiB());
        std::fflush(stdout);
        // Built only now, so that it does not add to the task's own peak.
        const QualityMesh input = qualityMesh(doc.vertices, doc.indices);
        const QualityMesh result = qualityMesh(doc.remeshTask.resultVertices, doc.remeshTask.resultIndices);
        const Remesher& r = doc.remeshTask.remesher;
        const QualityReport q = measureQuality(result, input, r.targetLength, targetsOf(r));
        const std::string label = std::string(remesh ? "remesh" : "smooth") + " run=" + std::to_string(run);
        printQualityReport(stdout, label.c_str(), seconds, q);
    }
    std::printf("peak_rss_mib=%.1f\n", benchPeakRssMiB());
    if (!o.out.empty()) writeResult(doc, o.out);
    return 0;
}

} // namespace

int benchRemesh(const std::vector<std::string>& args)
{
    return runEditing(args, true);
}

int benchSmooth(const std::vector<std::string>& args)
{
    return runEditing(args, false);
}

static const bool remeshRegistered = registerBenchCommand(
    "remesh", "FILE --type uniform|adaptive --density F [--ratio R] [--continuous K] [--out OUT]", benchRemesh);
static const bool smoothRegistered = registerBenchCommand("smooth", "FILE [--out OUT]", benchSmooth);
