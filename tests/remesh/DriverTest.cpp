#include "RemeshQuality.h"
#include "TestMeshes.h"

#include "remesh/MeshConversion.h"
#include "remesh/Remesher.h"

#include <gtest/gtest.h>

TEST(RemeshDrivers, UniformSphereLandsNearTarget)
{
    HalfedgeMesh ref = toHalfedge(makeIcosphere(3));
    Remesher r(&ref);
    const RemeshType uniform = RemeshTypeUniform;
    r.setup(&uniform, 2000, 5.0);
    r.remesh(10, nullptr);
    RemeshQuality q = measureQuality(r.working, r.targetLength);
    printf("faces %zu min %.2f max %.2f below30 %.4f val6 %.3f len %.3f\n", r.working.n_faces(), q.minAngleDeg,
           q.maxAngleDeg, q.shareBelow30, q.shareValence6, q.shareLengthOk);
    EXPECT_NEAR(double(r.working.n_faces()), 2000.0, 400.0);
}
