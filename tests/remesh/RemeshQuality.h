#pragma once
// Shape measures of a remeshed halfedge mesh for the end-to-end checks.

#include "remesh/HalfedgeMesh.h"

struct RemeshQuality {
    double minAngleDeg = 180.0;
    double maxAngleDeg = 0.0;
    double shareBelow30 = 0.0;
    double shareValence6 = 0.0;
    double shareLengthOk = 0.0;
    size_t boundaryEdges = 0;
    bool finite = true;
};

RemeshQuality measureQuality(const HalfedgeMesh& mesh, double targetLength);
