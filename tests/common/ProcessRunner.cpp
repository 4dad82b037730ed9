#include "ProcessRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env)
{
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");

    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (!env.count(name)) envStrings.push_back(entry);
    }
    for (const auto& [name, value] : env) {
        if (!value.empty()) envStrings.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (auto& s : envStrings) envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& s : argStrings) argv.push_back(s.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    outFd = outPipe[0];
    errFd = errPipe[0];
    if (rc != 0) {
        close(outFd);
        close(errFd);
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
    }
    fcntl(outFd, F_SETFL, O_NONBLOCK);
    fcntl(errFd, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess()
{
    if (!reaped && pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    if (outFd >= 0) close(outFd);
    if (errFd >= 0) close(errFd);
}

void ChildProcess::drain()
{
    char buffer[4096];
    for (auto [fd, text] : {std::pair{outFd, &out}, std::pair{errFd, &err}}) {
        for (;;) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) break;
            text->append(buffer, static_cast<size_t>(n));
        }
    }
}

bool ChildProcess::running()
{
    drain();
    if (reaped) return false;
    if (waitpid(pid, &status, WNOHANG) == pid) {
        reaped = true;
        return false;
    }
    return true;
}

ProcessResult ChildProcess::wait(std::chrono::seconds timeout)
{
    ProcessResult result;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            reaped = true;
            result.timedOut = true;
            break;
        }
        pollfd fds[2] = {{outFd, POLLIN, 0}, {errFd, POLLIN, 0}};
        poll(fds, 2, 20);
    }
    drain();
    result.out = out;
    result.err = err;
    result.exitCode = (!result.timedOut && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return result;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env, std::chrono::seconds timeout)
{
    ChildProcess child(program, args, env);
    return child.wait(timeout);
}
