#include "FileDialog.h"

#include "Config.h"

#include <spdlog/spdlog.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>

extern char** environ;

FileDialogFunction fileDialog = runZenityDialog;

const char* const DownloadPageAddress = "https://tamrel.example/download";
const char* const HomePageAddress = "https://tamrel.example/";

std::string helpPageAddress()
{
    // A file address: bytes outside the unreserved set are percent-encoded.
    const std::string path = (PathExeDir / "resources" / "help" / "index.html").string();
    std::string address = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            address += static_cast<char>(c);
        } else {
            static const char hex[] = "0123456789ABCDEF";
            address += '%';
            address += hex[c >> 4];
            address += hex[c & 15];
        }
    }
    return address;
}

namespace {

void logStartFailure(const std::string& program, int error)
{
    // Once per program: a missing zenity would otherwise log at every click.
    static std::mutex mutex;
    static std::set<std::string> reported;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!reported.insert(program).second) return;
    }
    if (auto logger = spdlog::get("tamrel_log")) {
        logger->error("Can not run {}: {}", program, std::strerror(error));
    }
}

int exitStatusOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

ChildOutcome runChild(const std::vector<std::string>& argv, bool wait)
{
    ChildOutcome outcome;
    if (argv.empty()) return outcome;

    int outPipe[2] = {-1, -1};
    if (wait && pipe2(outPipe, O_CLOEXEC) != 0) {
        logStartFailure(argv[0], errno);
        return outcome;
    }

    std::vector<char*> args;
    std::vector<std::string> copies(argv);
    for (auto& s : copies) args.push_back(s.data());
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    if (wait) {
        posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (wait) close(outPipe[1]);
    if (rc != 0) {
        if (wait) close(outPipe[0]);
        logStartFailure(argv[0], rc);
        return outcome;
    }
    outcome.started = true;

    if (!wait) {
        std::thread([pid] {
            int status = 0;
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
        return outcome;
    }

    char buffer[4096];
    for (;;) {
        const ssize_t n = read(outPipe[0], buffer, sizeof buffer);
        if (n > 0) {
            outcome.output.append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(outPipe[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return outcome;
    }
    outcome.exitStatus = exitStatusOf(status);
    return outcome;
}

std::vector<std::string> zenityArguments(const FileDialogRequest& request)
{
    std::vector<std::string> args{"zenity", "--file-selection"};
    if (request.save) {
        args.emplace_back("--save");
        args.emplace_back("--confirm-overwrite");
    }
    args.push_back("--title=" + request.title);
    if (!request.defaultPath.empty()) args.push_back("--filename=" + request.defaultPath);
    return args;
}

std::optional<std::string> runZenityDialog(const FileDialogRequest& request)
{
    ChildOutcome outcome = runChild(zenityArguments(request), true);
    if (!outcome.started || outcome.exitStatus != 0) return std::nullopt;
    std::string& path = outcome.output;
    if (!path.empty() && path.back() == '\n') path.pop_back();
    if (path.empty()) return std::nullopt;
    return path;
}

void openUrl(std::string url)
{
    runChild({"xdg-open", std::move(url)}, false);
}
