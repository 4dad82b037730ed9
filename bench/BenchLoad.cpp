// Commands load, save and readfile.

#include "Bench.h"

#include "Timer.h"

#include <assimp/Importer.hpp>
#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

double secondsSince(int64_t startNs, int64_t nowNs) { return static_cast<double>(nowNs - startNs) / 1e9; }

int loadCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1) return 2;
    TriMesh doc;
    TaskStatus status;
    LoadTimes t;
    const bool ok = benchLoadDocument(doc, status, args[0], &t);
    std::printf("bench cmd=load ok=%d file=%s records=%zu triangles=%zu boundary_edges=%zu "
                "complex_edges=%zu watertight=%d import_s=%.3f merge_s=%.3f checks_s=%.3f "
                "normals_box_centre_s=%.3f after_import_s=%.3f total_s=%.3f peak_rss_mib=%.1f\n",
                ok ? 1 : 0, args[0].c_str(), doc.vertices.size(), doc.indices.size() / 3,
                doc.boundaryEdges.size() / 2, doc.complexEdges.size() / 2, doc.waterTight ? 1 : 0,
                t.importSec, t.mergeSec, t.checksSec, t.derivedSec, t.totalSec - t.importSec,
                t.totalSec, benchPeakRssMiB());
    return ok ? 0 : 1;
}

int saveCommand(const std::vector<std::string>& args)
{
    if (args.size() != 3) return 2;
    TriMesh doc;
    TaskStatus status;
    LoadTimes t;
    if (!benchLoadDocument(doc, status, args[0], &t)) {
        std::printf("bench cmd=save ok=0 file=%s stage=load\n", args[0].c_str());
        return 1;
    }
    const int64_t start = Timer::nowNs();
    if (!doc.saveFileAsync(args[1], args[2], true)) return 1;
    const uint32_t state = benchWaitTask(doc.ioTask.state);
    doc.ioTask.state.store(TaskIdle);
    const bool ok = state == TaskDone;
    std::printf("bench cmd=save ok=%d file=%s out=%s format=%s records=%zu triangles=%zu "
                "load_s=%.3f save_s=%.3f peak_rss_mib=%.1f\n",
                ok ? 1 : 0, args[0].c_str(), args[1].c_str(), args[2].c_str(), doc.vertices.size(),
                doc.indices.size() / 3, t.totalSec, secondsSince(start, Timer::nowNs()),
                benchPeakRssMiB());
    return ok ? 0 : 1;
}

// The bare importer call the load starts with, for comparison: true when
// the importer gave a scene.
bool bareRead(const std::string& path, size_t& vertices, size_t& faces)
{
    vertices = faces = 0;
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFile(path, aiProcess_Triangulate);
    if (!scene) return false;
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        vertices += scene->mMeshes[m]->mNumVertices;
        faces += scene->mMeshes[m]->mNumFaces;
    }
    return true;
}

int readFileCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1) return 2;
    const int64_t start = Timer::nowNs();
    size_t vertices = 0, faces = 0;
    const bool ok = bareRead(args[0], vertices, faces);
    std::printf("bench cmd=readfile ok=%d file=%s vertices=%zu faces=%zu readfile_s=%.3f "
                "peak_rss_mib=%.1f\n",
                ok ? 1 : 0, args[0].c_str(), vertices, faces, secondsSince(start, Timer::nowNs()),
                benchPeakRssMiB());
    return ok ? 0 : 1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// The bare importer call and the whole load, alternately in one process, so
// that both see the same machine load; medians over the rounds.
int compareCommand(const std::vector<std::string>& args)
{
    if (args.empty() || args.size() > 2) return 2;
    const int rounds = args.size() == 2 ? std::max(1, std::stoi(args[1])) : 9;
    std::vector<double> bare, load, import, merge, checks, derived;
    for (int r = 0; r < rounds; ++r) {
        size_t vertices = 0, faces = 0;
        const int64_t start = Timer::nowNs();
        if (!bareRead(args[0], vertices, faces)) return 1;
        bare.push_back(secondsSince(start, Timer::nowNs()));
        TriMesh doc;
        TaskStatus status;
        LoadTimes t;
        if (!benchLoadDocument(doc, status, args[0], &t)) return 1;
        load.push_back(t.totalSec);
        import.push_back(t.importSec);
        merge.push_back(t.mergeSec);
        checks.push_back(t.checksSec);
        derived.push_back(t.derivedSec);
    }
    std::printf("bench cmd=compare file=%s rounds=%d readfile_s=%.3f load_s=%.3f ratio=%.2f import_s=%.3f "
                "merge_s=%.3f checks_s=%.3f normals_box_centre_s=%.3f\n",
                args[0].c_str(), rounds, median(bare), median(load), median(load) / median(bare), median(import),
                median(merge), median(checks), median(derived));
    return 0;
}

const bool registered = registerBenchCommand("load", "FILE", &loadCommand) &&
                        registerBenchCommand("compare", "FILE [ROUNDS]", &compareCommand) &&
                        registerBenchCommand("save", "FILE OUT FORMAT_ID", &saveCommand) &&
                        registerBenchCommand("readfile", "FILE", &readFileCommand);

} // namespace

bool benchLoadDocument(TriMesh& doc, TaskStatus& status, const std::string& path, LoadTimes* times)
{
    doc.taskStatus = &status;
    status.progress = 0;
    const int64_t start = Timer::nowNs();
    if (!doc.loadFileAsync(path)) return false;

    // Stage ends as the progress milestones show them: 50 after the import,
    // 60 after the merge, 75 after the checks, 90 after normals, box, centre.
    const uint32_t milestones[4] = {50, 60, 75, 90};
    int64_t reached[4] = {0, 0, 0, 0};
    uint32_t state;
    while ((state = doc.ioTask.state.load(std::memory_order_acquire)) == TaskRunning) {
        const uint32_t p = status.progress.load();
        const int64_t now = Timer::nowNs();
        for (int i = 0; i < 4; ++i) {
            if (!reached[i] && p >= milestones[i] && p < 100) reached[i] = now;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const int64_t end = Timer::nowNs();
    for (int i = 0; i < 4; ++i) {
        if (!reached[i]) reached[i] = end;
    }
    if (times) {
        times->importSec = secondsSince(start, reached[0]);
        times->mergeSec = secondsSince(reached[0], reached[1]);
        times->checksSec = secondsSince(reached[1], reached[2]);
        times->derivedSec = secondsSince(reached[2], reached[3]);
        times->totalSec = secondsSince(start, end);
    }
    if (state != TaskDone) {
        doc.ioTask.state.store(TaskIdle);
        return false;
    }
    doc.takeLoadResult();
    return true;
}
