#pragma once
// tamrel-bench: drives the mesh document as the application does (launch a
// task, poll its state once per "frame", take the result) and prints one
// line of key=value figures per run. Commands live in their own files and
// register themselves with registerBenchCommand from a static initialiser.

#include "TriMesh.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

using BenchCommandFn = int (*)(const std::vector<std::string>& args);

// Returns true so that a file can write
//   static const bool registered = registerBenchCommand(...);
bool registerBenchCommand(const char* name, const char* usage, BenchCommandFn run);

// Wall times of the load stages, read from the progress milestones.
struct LoadTimes {
    double importSec = 0;
    double mergeSec = 0;
    double checksSec = 0;
    double derivedSec = 0; // normals, bounding box and centre
    double totalSec = 0;
};

// Loads the file into the document and takes the result; false when the
// load was refused or failed.
bool benchLoadDocument(TriMesh& doc, TaskStatus& status, const std::string& path, LoadTimes* times);

// Polls the state like the main loop until the task leaves "running";
// returns the final state (2 failed, 3 done).
inline uint32_t benchWaitTask(TaskState& state)
{
    uint32_t s;
    while ((s = state.load(std::memory_order_acquire)) == TaskRunning) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return s;
}

// Peak resident set size of this process in MiB (VmHWM).
double benchPeakRssMiB();

// The remesh and smooth commands (bench/BenchRemesh.cpp).
int benchRemesh(const std::vector<std::string>& args);
int benchSmooth(const std::vector<std::string>& args);
