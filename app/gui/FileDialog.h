#pragma once
// Native file dialogs and web addresses through the desktop's own programs
// (zenity, xdg-open). They are started as child processes with an argument
// vector, never through a shell: paths are user data and may hold quotes,
// $( ) or back-quotes. Main thread only; a dialog blocks until it returns.

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct FileDialogRequest {
    bool save = false;
    std::string title;
    std::string defaultPath; // empty: the program's own choice
};

// The chosen path, or nothing when the user cancels or no dialog can be shown.
using FileDialogFunction = std::function<std::optional<std::string>(const FileDialogRequest&)>;

// The dialog the menus show: runZenityDialog unless replaced (tests answer it).
extern FileDialogFunction fileDialog;

std::vector<std::string> zenityArguments(const FileDialogRequest& request);
std::optional<std::string> runZenityDialog(const FileDialogRequest& request);

struct ChildOutcome {
    bool started = false;
    int exitStatus = -1; // -1 when killed by a signal, or not waited for
    std::string output;  // standard output, when waited for
};

// Starts argv[0], looked up in PATH, with standard error (and standard
// output when not waited for) on /dev/null. With wait, reads its output to
// the end and reaps it; without, a detached thread reaps it. A program that
// cannot be started is logged as an error once per program name.
ChildOutcome runChild(const std::vector<std::string>& argv, bool wait);

// Hands a web address to the desktop's default handler, without a shell.
void openUrl(std::string url);

// Addresses the help and about windows open.
std::string helpPageAddress();
extern const char* const DownloadPageAddress;
extern const char* const HomePageAddress;
