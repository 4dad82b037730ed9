// The main thread's side of the document tasks: start load, save, remesh and
// smooth, poll their state once per focused iteration, and take the outcome.

#include "Application.h"

#include <spdlog/spdlog.h>

void Application::scanCommandLine(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (document.isSupportedFileExtension(arg)) {
            uiDrawer.modelPath = arg;
            pendingActions |= PendingAction::LoadRequested;
            return;
        }
    }
}

void Application::attachTaskStatus()
{
    if (!document.taskStatus) document.taskStatus = &uiDrawer.taskStatus;
}

void Application::processIoActions()
{
    using namespace PendingAction;

    if (pendingActions & ScreenshotRequested) takeScreenshot();

    if (pendingActions & LoadRunning) {
        switch (document.ioTask.state.load(std::memory_order_acquire)) {
        case TaskIdle:
            logger->error("File import task is still idle after started, no running state or result detected.");
            pendingActions &= ~LoadRunning;
            return;
        case TaskRunning:
            break;
        case TaskFailed:
            pendingActions &= ~LoadRunning;
            document.ioTask.state = TaskIdle;
            uiDrawer.modelPath = loadedModelPath;
            return;
        case TaskDone:
            document.takeLoadResult();
            // The title names the file that was loaded, even when another
            // one was dropped while it loaded.
            loadedModelPath = uiDrawer.modelPath = loadingModelPath;
            updateWindowTitle(document.vertices.size(), document.indices.size() / 3);
            loadMeshToRenderer(true);
            refreshLineGeometry();
            initUi();
            pendingActions &= ~LoadRunning;
            document.clearAsyncRemeshCache();
            return;
        default:
            return;
        }
    } else if (pendingActions & SaveRunning) {
        switch (document.ioTask.state.load(std::memory_order_acquire)) {
        case TaskIdle:
            logger->error("File export task is idle after started, no running state or result detected.\n");
            pendingActions &= ~SaveRunning;
            return;
        case TaskRunning:
            break;
        case TaskFailed:
        case TaskDone:
            pendingActions &= ~SaveRunning;
            document.ioTask.state = TaskIdle;
            return;
        default:
            return;
        }
    } else {
        if (pendingActions & LoadRequested) {
            pendingActions &= ~LoadRequested;
            attachTaskStatus();
            if (document.loadFileAsync(uiDrawer.modelPath)) {
                loadingModelPath = uiDrawer.modelPath;
                pendingActions |= LoadRunning;
            } else {
                // The file on screen is still the last one loaded.
                uiDrawer.modelPath = loadedModelPath;
            }
        } else if (pendingActions & SaveRequested) {
            pendingActions &= ~SaveRequested;
            attachTaskStatus();
            if (document.saveFileAsync(uiDrawer.savePath, uiDrawer.saveFormatId, true)) {
                pendingActions |= SaveRunning;
            }
        }
        return;
    }

    // A file task runs: further file requests are dropped.
    if (pendingActions & (LoadRequested | SaveRequested)) {
        pendingActions &= ~(LoadRequested | SaveRequested);
        // A dropped or opened name must not outlive its refusal: the title
        // and the save proposal name the model on screen.
        uiDrawer.modelPath = loadedModelPath;
        logger->warn("Please wait the IO process to finish.");
    }
}

void Application::processRemeshActions()
{
    using namespace PendingAction;

    if (!(pendingActions & RemeshRunning)) {
        if (pendingActions & RemeshRequested) {
            pendingActions &= ~RemeshRequested;
            attachTaskStatus();
            if (document.remeshAsync(static_cast<uint32_t>(uiDrawer.remeshType), uiDrawer.targetDensity,
                                     uiDrawer.continuousRemesh, static_cast<double>(uiDrawer.sizeRatio))) {
                pendingActions |= RemeshRunning;
            }
        } else if (pendingActions & SmoothRequested) {
            pendingActions &= ~SmoothRequested;
            attachTaskStatus();
            if (document.smoothAsync()) pendingActions |= RemeshRunning;
        } else if (pendingActions & ApplyRequested) {
            pendingActions &= ~ApplyRequested;
            document.applyNewMesh();
            updateWindowTitle(document.vertices.size(), document.indices.size() / 3);
            // The screen shows the document after an apply, so a save and
            // the picture always agree.
            loadMeshToRenderer(false);
            refreshLineGeometry();
        } else if (pendingActions & RestoreRequested) {
            pendingActions &= ~RestoreRequested;
            if (document.ioTask.state == TaskIdle && document.remeshTask.state == TaskIdle) {
                document.clearAsyncRemeshCache();
                loadMeshToRenderer(false);
                refreshLineGeometry();
                initUi();
            } else {
                logger->warn("Can not restore mesh when async task is running.");
            }
        }
        return;
    }

    switch (document.remeshTask.state.load(std::memory_order_acquire)) {
    case TaskIdle:
        logger->error("Remesh task is idle after started, no running state or result detected.");
        pendingActions &= ~RemeshRunning;
        break;
    case TaskFailed:
        document.remeshTask.state = TaskIdle;
        pendingActions &= ~RemeshRunning;
        break;
    case TaskDone: {
        // The result is shown as a preview; the document stays as it was.
        const auto& result = document.remeshTask;
        if (result.resultVertices.empty() || result.resultIndices.empty()) {
            // The drawer cannot show a mesh without a triangle.
            logger->warn("The remesh result has no triangle; the current mesh stays on screen.");
        } else {
            fitCameraAndUploadMesh(result.resultVertices, result.resultIndices, document.bboxMin,
                                   document.bboxMax, document.center, false);
            updateLineGeometry(result.resultVertices, document.bboxMin, document.bboxMax, document.center,
                               document.boundaryEdges, document.complexEdges);
        }
        initUi();
        pendingActions &= ~RemeshRunning;
        document.remeshTask.state = TaskIdle;
        break;
    }
    case TaskRunning:
        if (pendingActions & (RemeshRequested | SmoothRequested | ApplyRequested)) {
            pendingActions &= ~(RemeshRequested | SmoothRequested | ApplyRequested);
            logger->warn("Please wait the remesh process to finish.");
        }
        break;
    default:
        break;
    }
}
