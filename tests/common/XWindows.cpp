#include "XWindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>
#include <utility>

#include <unistd.h>

namespace xwin {
namespace {

std::string titleOf(Display* display, Window window)
{
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        std::string title(reinterpret_cast<char*>(data), count);
        XFree(data);
        return title;
    }
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        std::string title = name;
        XFree(name);
        return title;
    }
    return "";
}

// The process that made a window, as the window says (_NET_WM_PID); -1 if unknown.
long windowPid(Display* display, Window window)
{
    Atom netPid = XInternAtom(display, "_NET_WM_PID", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, netPid, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) == Success &&
        data) {
        if (count == 1 && format == 32) pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
        XFree(data);
    }
    return pid;
}

long parentPid(long pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return -1;
    // The command name in parentheses may hold blanks; the fields after it do not.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return -1;
    std::istringstream rest(line.substr(close + 1));
    char state = 0;
    long ppid = -1;
    rest >> state >> ppid;
    return ppid;
}

bool ours(Display* display, Window window)
{
    const long pid = windowPid(display, window);
    const long self = static_cast<long>(::getpid());
    return pid > 0 && (pid == self || parentPid(pid) == self);
}

void forEachWindow(Display* display, Window root, const std::function<void(Window)>& visit)
{
    Window parent, rootReturn;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, root, &rootReturn, &parent, &children, &count)) return;
    for (unsigned int i = 0; i < count; ++i) {
        visit(children[i]);
        forEachWindow(display, children[i], visit);
    }
    if (children) XFree(children);
}

struct Connection {
    Display* display = XOpenDisplay(nullptr);
    ~Connection()
    {
        if (display) XCloseDisplay(display);
    }
};

// The first of our windows whose title starts with prefix, and that title; 0 if none.
std::pair<Window, std::string> firstStartingWith(const std::string& prefix)
{
    Connection c;
    std::pair<Window, std::string> found;
    if (!c.display) return found;
    forEachWindow(c.display, DefaultRootWindow(c.display), [&](Window w) {
        if (found.first) return;
        std::string title = titleOf(c.display, w);
        if (title.starts_with(prefix) && ours(c.display, w)) found = {w, std::move(title)};
    });
    return found;
}
} // namespace

std::vector<std::string> titles()
{
    Connection c;
    std::vector<std::string> out;
    if (!c.display) return out;
    forEachWindow(c.display, DefaultRootWindow(c.display), [&](Window w) {
        std::string t = titleOf(c.display, w);
        if (!t.empty() && ours(c.display, w)) out.push_back(t);
    });
    return out;
}

bool waitForTitle(const std::string& title, double seconds, bool prefix)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        for (const auto& t : titles()) {
            if (prefix ? t.rfind(title, 0) == 0 : t == title) return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool requestClose(const std::string& title)
{
    Connection c;
    if (!c.display) return false;
    Atom protocols = XInternAtom(c.display, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(c.display, "WM_DELETE_WINDOW", False);
    bool sent = false;
    forEachWindow(c.display, DefaultRootWindow(c.display), [&](Window w) {
        if (titleOf(c.display, w) != title || !ours(c.display, w)) return;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = w;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(deleteWindow);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(c.display, w, False, NoEventMask, &event);
        sent = true;
    });
    XFlush(c.display);
    return sent;
}

bool resize(const std::string& title, int width, int height)
{
    Connection c;
    if (!c.display) return false;
    bool done = false;
    forEachWindow(c.display, DefaultRootWindow(c.display), [&](Window w) {
        if (titleOf(c.display, w) != title || !ours(c.display, w)) return;
        XResizeWindow(c.display, w, static_cast<unsigned>(width), static_cast<unsigned>(height));
        done = true;
    });
    XFlush(c.display);
    return done;
}

unsigned long findWindow(const std::string& prefix)
{
    return firstStartingWith(prefix).first;
}

std::string titleStartingWith(const std::string& prefix)
{
    return firstStartingWith(prefix).second;
}

ProcessResult waitForClose(ChildProcess& app, const std::string& title, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    auto nextRequest = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (app.running() && std::chrono::steady_clock::now() < deadline) {
        if (std::chrono::steady_clock::now() >= nextRequest) {
            requestClose(title);
            nextRequest += std::chrono::seconds(1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return app.wait(std::chrono::seconds(1));
}

} // namespace xwin
