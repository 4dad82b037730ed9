#include "RefSurface.h"

#include "RemeshParallel.h"

#include "MeshConversion.h"

#include <embree3/rtcore.h>
#include <pmmintrin.h>
#include <xmmintrin.h>

#include <stdexcept>
#include <string>
#include <utility>

namespace {

// Flush-to-zero and denormals-are-zero on the calling thread.
void setEmbreeFloatMode()
{
    _MM_SET_FLUSH_ZERO_MODE(_MM_FLUSH_ZERO_ON);
    _MM_SET_DENORMALS_ZERO_MODE(_MM_DENORMALS_ZERO_ON);
}

void throwOnDeviceError(RTCDevice device, const char* what)
{
    RTCError err = device ? rtcGetDeviceError(device) : RTC_ERROR_UNKNOWN;
    if (err != RTC_ERROR_NONE) {
        throw std::runtime_error(std::string("@RefSurface: Embree error ") +
                                 std::to_string(static_cast<int>(err)) + " at " + what);
    }
}

} // namespace

RefSurface::RefSurface(const HalfedgeMesh& mesh)
{
    std::vector<RefVertex> v;
    std::vector<RefTriangle> t;
    flattenForRefSurface(mesh, v, t);
    *this = RefSurface(std::move(v), std::move(t));
}

RefSurface::RefSurface(std::vector<RefVertex>&& vertexArray, std::vector<RefTriangle>&& triangleArray)
    : vertices(std::move(vertexArray)), triangles(std::move(triangleArray))
{
    // Flush denormals to zero on this thread: Embree's build is faster without them.
    setEmbreeFloatMode();

    device = rtcNewDevice(nullptr);
    if (!device) throw std::runtime_error("@RefSurface: Embree error: no device");
    try {
        scene = rtcNewScene(device);
        throwOnDeviceError(device, "scene creation");
        // Robust traversal: projected vertices often lie exactly on reference
        // edges. Compact: the scene lives beside the working mesh of a large
        // remesh, and the smaller layout costs little in query time.
        rtcSetSceneFlags(scene, RTCSceneFlags(RTC_SCENE_FLAG_ROBUST | RTC_SCENE_FLAG_COMPACT));
        if (!triangles.empty() && !vertices.empty()) {
            RTCGeometry geometry = rtcNewGeometry(device, RTC_GEOMETRY_TYPE_TRIANGLE);
            rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                       vertices.data(), 0, sizeof(RefVertex), vertices.size());
            rtcSetSharedGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                       triangles.data(), 0, sizeof(RefTriangle), triangles.size());
            rtcCommitGeometry(geometry);
            rtcAttachGeometry(scene, geometry);
            rtcReleaseGeometry(geometry);
            throwOnDeviceError(device, "geometry set-up");
        }
        rtcCommitScene(scene);
        throwOnDeviceError(device, "scene commit");
    } catch (...) {
        release();
        throw;
    }
}

RefSurface::~RefSurface()
{
    release();
}

RefSurface::RefSurface(RefSurface&& other) noexcept
    : vertices(std::move(other.vertices)), triangles(std::move(other.triangles)),
      device(std::exchange(other.device, nullptr)), scene(std::exchange(other.scene, nullptr))
{}

RefSurface& RefSurface::operator=(RefSurface&& other) noexcept
{
    if (this == &other) return *this;
    release();
    // A vector move keeps its storage, so the scene's buffer pointers stay valid.
    vertices = std::move(other.vertices);
    triangles = std::move(other.triangles);
    device = std::exchange(other.device, nullptr);
    scene = std::exchange(other.scene, nullptr);
    return *this;
}

void RefSurface::release()
{
    if (scene) {
        rtcReleaseScene(scene);
        scene = nullptr;
    }
    if (device) {
        rtcReleaseDevice(device);
        device = nullptr;
    }
    std::vector<RefVertex>().swap(vertices);
    std::vector<RefTriangle>().swap(triangles);
}

bool RefSurface::intersect(const double org[3], const double dir[3], float tnear, float tfar,
                           uint32_t& primId, float* hitDistance) const
{
    if (!scene) return false;
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    alignas(16) RTCRayHit rh;
    rh.ray.org_x = static_cast<float>(org[0]);
    rh.ray.org_y = static_cast<float>(org[1]);
    rh.ray.org_z = static_cast<float>(org[2]);
    rh.ray.dir_x = static_cast<float>(dir[0]);
    rh.ray.dir_y = static_cast<float>(dir[1]);
    rh.ray.dir_z = static_cast<float>(dir[2]);
    rh.ray.tnear = tnear;
    rh.ray.tfar = tfar;
    rh.ray.time = 0.0f;
    rh.ray.mask = 0xFFFFFFFFu;
    rh.ray.id = 0;
    rh.ray.flags = 0;
    rh.hit.Ng_x = rh.hit.Ng_y = rh.hit.Ng_z = 0.0f;
    rh.hit.u = rh.hit.v = 0.0f;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rh.hit.primID = RTC_INVALID_GEOMETRY_ID;
    rh.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(scene, &context, &rh);
    if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID) return false;
    primId = rh.hit.primID;
    if (hitDistance) *hitDistance = rh.ray.tfar;
    return true;
}

FloatModeScope::FloatModeScope() : saved(_mm_getcsr())
{
    setEmbreeFloatMode();
}

FloatModeScope::~FloatModeScope()
{
    _mm_setcsr(saved);
}
