#include "Remesher.h"

#include "RemeshParallel.h"
#include "TaskStatus.h"
#include "Timer.h"

namespace {

void mainIterationProgress(TaskStatus* status, uint32_t i, uint32_t n)
{
    progress::advance(status, static_cast<double>(i + 1) * 0.5 / static_cast<double>(n));
}

void cleanupProgress(TaskStatus* status, uint32_t k)
{
    progress::advance(status, static_cast<double>(k + 1) * 0.4 / 5.0 + 0.5);
}

} // namespace

void Remesher::remesh(uint32_t iterations, TaskStatus* status)
{
    Timer timer("remesh", true);
    FloatModeScope mode;
    RemeshType pass = RemeshTypeUniform;
    for (uint32_t i = 0; i < iterations; ++i) {
        pass = RemeshTypeUniform;
        splitLongCollapseShortEdges(1, &pass);
        tangentialSmoothing(1, false, &pass, nullptr);
        equalizeValences();
        tangentialSmoothing(1, false, &pass, nullptr);
        if (i == iterations / 2) projectToRefSurface(&pass);
        mainIterationProgress(status, i, iterations);
    }
    for (uint32_t k = 0; k < 5; ++k) {
        pass = RemeshTypeUniform;
        if (removeBadTriangles(&pass) == 0) break;
        tangentialSmoothing(1, false, &pass, nullptr);
        equalizeValences();
        tangentialSmoothing(1, true, &pass, nullptr);
        cleanupProgress(status, k);
    }
    pass = RemeshTypeUniform;
    projectToRefSurface(&pass);
    progress::reachStageEnd(status);
}

void Remesher::remeshAdaptive(uint32_t iterations, TaskStatus* status)
{
    Timer timer("remeshAdaptive", true);
    FloatModeScope mode;
    RemeshType pass = RemeshTypeAdaptive;
    const RemeshType smoothType = RemeshTypeUniform;
    for (uint32_t i = 0; i < iterations; ++i) {
        pass = RemeshTypeAdaptive;
        splitLongCollapseShortEdges(1, &pass);
        tangentialSmoothing(1, false, &smoothType, nullptr);
        equalizeValences();
        tangentialSmoothing(1, false, &smoothType, nullptr);
        if (i % 2 == 0) {
            projectToRefSurface(&pass);
            smoothSizingField(2, 0.3f);
        }
        mainIterationProgress(status, i, iterations);
    }
    for (uint32_t k = 0; k < 5; ++k) {
        pass = RemeshTypeAdaptive;
        if (removeBadTriangles(&pass) == 0) break;
        tangentialSmoothing(1, false, &smoothType, nullptr);
        equalizeValences();
        tangentialSmoothing(1, false, &smoothType, nullptr);
        cleanupProgress(status, k);
    }
    pass = RemeshTypeAdaptive;
    projectToRefSurface(&pass);
    progress::reachStageEnd(status);
}
