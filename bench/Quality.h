#pragma once
// Shape report of a remeshed triangle mesh against its input, shared by
// tamrel-bench and the CGAL comparison so both print the same figures.

#include "MeshVertex.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <vector>

struct QualityMesh {
    std::vector<std::array<double, 3>> points;
    std::vector<std::array<uint32_t, 3>> triangles;
};

struct QualityReport {
    size_t faces = 0;
    size_t vertices = 0;
    double minAngleDeg = 0;
    double maxAngleDeg = 0;
    double shareBelow30 = 0;    // of all triangle corners
    double shareValence6 = 0;   // of interior vertices
    double shareLengthOk = 0;   // edges within [4/5, 4/3] of their target
    double hausdorffRel = 0;    // one-sided, result to input, / input bbox diagonal
    size_t boundaryEdges = 0;
    size_t complexEdges = 0;
};

// The records' positions and triangles (an empty index list takes the
// records three by three).
QualityMesh qualityMesh(const std::vector<MeshVertex>& records, const std::vector<uint32_t>& indices);

// targetPerVertex: empty for one target length for every edge, else the
// target of edge (a, b) is the mean of its ends' values.
QualityReport measureQuality(const QualityMesh& result, const QualityMesh& input, double targetLength,
                             const std::vector<double>& targetPerVertex = {});

void printQualityReport(std::FILE* out, const char* label, double seconds, const QualityReport& q);
