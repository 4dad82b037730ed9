#pragma once
// Runs a program as a child process, capturing standard output and error,
// for end-to-end tests of the built executables.

#include <chrono>
#include <map>
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;       // -1 when killed by a signal or on timeout
    bool timedOut = false;
    std::string out;
    std::string err;
};

class ChildProcess {
public:
    // env: variables to set (empty value: unset) on top of this process's environment.
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool running();
    // Standard output captured so far.
    const std::string& output()
    {
        drain();
        return out;
    }
    // Waits for the end; kills the child after the timeout.
    ProcessResult wait(std::chrono::seconds timeout);

private:
    int pid = -1;
    int outFd = -1;
    int errFd = -1;
    std::string out, err;
    int status = 0;
    bool reaped = false;
    void drain();
};

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env = {},
                         std::chrono::seconds timeout = std::chrono::seconds(60));
