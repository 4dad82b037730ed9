#pragma once
// Request bits of the application's 64-bit PendingActions word. Input, menus
// and panels only set bits; the main loop carries them out in one place.

#include <cstdint>

namespace PendingAction {
constexpr uint64_t LoadRunning = 1ull << 1;
constexpr uint64_t SaveRunning = 1ull << 2;
constexpr uint64_t SaveRequested = 1ull << 3;
constexpr uint64_t LoadRequested = 1ull << 4;
constexpr uint64_t ScreenshotRequested = 1ull << 5;
constexpr uint64_t ResetView = 1ull << 10;
constexpr uint64_t SwitchStyle = 1ull << 11;
constexpr uint64_t ToggleProjection = 1ull << 12;
constexpr uint64_t ToggleGrid = 1ull << 13;
constexpr uint64_t ToggleWireframe = 1ull << 14;
constexpr uint64_t ToggleSketchMode = 1ull << 15;
constexpr uint64_t ToggleNormals = 1ull << 16;
constexpr uint64_t ToggleBoundaryEdges = 1ull << 17;
constexpr uint64_t ToggleComplexEdges = 1ull << 18;
constexpr uint64_t ToggleAxis = 1ull << 19;
constexpr uint64_t ToggleBoundingBox = 1ull << 20;
constexpr uint64_t RemeshRunning = 1ull << 30;
constexpr uint64_t RemeshRequested = 1ull << 31;
constexpr uint64_t SmoothRequested = 1ull << 32;
constexpr uint64_t ApplyRequested = 1ull << 33;
constexpr uint64_t RestoreRequested = 1ull << 34;
constexpr uint64_t SwapchainResize = 1ull << 50;

// The handlers' groups.
constexpr uint64_t IoMask = 0x3E;
constexpr uint64_t RemeshMask = 0x7C0000000ull;
constexpr uint64_t RenderSettingsMask = 0x1FFC00;
} // namespace PendingAction
