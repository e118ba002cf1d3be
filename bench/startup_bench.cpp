// How long the program takes from its process start to its main window being shown on the X
// display, beside a minimal Qt Widgets window of the same size started the same way in the same
// run; with the tests' JACK server running and without one. Also the program's memory once shown:
// alone, and beside the minimal window (which then shares the Qt libraries with it, as another Qt
// program on a desktop would). Prints "name: value unit" lines; exits non-zero when a target is
// missed. Runs on an X display (scripts/bench starts Xvfb); usage: startup_bench PROGRAM MINIMAL.
#include "BenchSupport.h"

#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int MainWidth = 549;
constexpr int MainHeight = 487;

// Watches the display for top-level windows being shown.
class MapWatcher {
public:
    MapWatcher() : display(XOpenDisplay(nullptr)) {
        if (display)
            XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
    }
    ~MapWatcher() {
        if (display)
            XCloseDisplay(display);
    }
    bool ok() const { return display != nullptr; }
    void drain() {
        while (XPending(display)) {
            XEvent e;
            XNextEvent(display, &e);
        }
    }
    // Waits until a window of the main window's size is mapped; false after `seconds`.
    bool waitForMainWindow(double seconds) {
        const auto until = bench::Clock::now() + std::chrono::duration<double>(seconds);
        while (bench::Clock::now() < until) {
            while (XPending(display)) {
                XEvent e;
                XNextEvent(display, &e);
                if (e.type == MapNotify && std::getenv("VKV_BENCH_DEBUG")) {
                    XWindowAttributes a;
                    XGetWindowAttributes(display, e.xmap.window, &a);
                    std::fprintf(stderr, "mapped %lx %dx%d\n", e.xmap.window, a.width, a.height);
                }
                if (e.type == MapNotify && isMainSized(e.xmap.window))
                    return true;
            }
            usleep(200);
        }
        return false;
    }

private:
    bool isMainSized(Window w) {
        XWindowAttributes a;
        return XGetWindowAttributes(display, w, &a) && a.width == MainWidth &&
               a.height == MainHeight;
    }
    Display *display;
};

pid_t start(const std::string &program, const std::vector<std::string> &env) {
    // The environment with `env`'s variables in place of any inherited ones of the same name.
    std::vector<std::string> all(env.begin(), env.end());
    for (char **e = environ; *e; ++e) {
        const std::string var = *e;
        const std::string name = var.substr(0, var.find('=') + 1);
        bool replaced = false;
        for (const auto &mine : env)
            replaced = replaced || mine.compare(0, name.size(), name) == 0;
        if (!replaced)
            all.push_back(var);
    }
    std::vector<char *> envp;
    for (auto &e : all)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string prog = program;
    char *argv[] = {prog.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, prog.c_str(), &actions, nullptr, argv, envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void stop(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

// Milliseconds from the process's start to its main window shown; the median of `runs`.
double startupMs(MapWatcher &x, const std::string &program, const std::vector<std::string> &env,
                 int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        x.drain();
        const auto t0 = bench::Clock::now();
        const pid_t pid = start(program, env);
        const bool shown = pid > 0 && x.waitForMainWindow(20);
        const auto t1 = bench::Clock::now();
        if (pid > 0)
            stop(pid);
        if (!shown) {
            std::fprintf(stderr, "%s: no window within 20 s\n", program.c_str());
            return 1e9;
        }
        times.push_back(bench::ms(t1 - t0));
        usleep(300000); // let a JACK server notice the client that went
    }
    return bench::percentile(times, 0.5);
}

bench::Memory memoryOnceShown(MapWatcher &x, const std::string &program,
                              const std::vector<std::string> &env) {
    x.drain();
    const pid_t pid = start(program, env);
    bench::Memory m;
    if (pid > 0 && x.waitForMainWindow(20)) {
        usleep(1500000); // settled: painted, fonts loaded
        m = bench::memoryOf(pid);
    }
    if (pid > 0)
        stop(pid);
    usleep(300000);
    return m;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench PROGRAM MINIMAL_WINDOW\n");
        return 2;
    }
    MapWatcher x;
    if (!x.ok()) {
        std::fprintf(stderr, "startup_bench: no X display\n");
        return 2;
    }
    const std::string program = argv[1], minimal = argv[2];
    const char *server = std::getenv("JACK_DEFAULT_SERVER");
    const std::string withJack = std::string("JACK_DEFAULT_SERVER=") + (server ? server : "");
    const std::string noJack = "JACK_DEFAULT_SERVER=vkv-bench-no-such-server";
    const int Runs = std::getenv("VKV_BENCH_DEBUG") ? 1 : 7;
    bool met = true;
    for (const auto &[name, env] : {std::pair{"with_jack", withJack}, {"without_jack", noJack}}) {
        const double ours = startupMs(x, program, {env}, Runs);
        const double base = startupMs(x, minimal, {env}, Runs);
        const double ratio = ours / base;
        std::printf("startup_%s_program: %.1f ms\n", name, ours);
        std::printf("startup_%s_minimal_window: %.1f ms\n", name, base);
        std::printf("startup_%s_ratio: %.2f x\n", name, ratio);
        met = met && ratio < 2.0;
    }

    const bench::Memory alone = memoryOnceShown(x, program, {withJack});
    const pid_t companion = start(minimal, {});
    usleep(1000000);
    const bench::Memory beside = memoryOnceShown(x, program, {withJack});
    if (companion > 0)
        stop(companion);
    std::printf("memory_after_start_private: %.1f MB\n", beside.privateKb / 1024.0);
    std::printf("memory_after_start_rss: %.1f MB\n", beside.rssKb / 1024.0);
    std::printf("memory_after_start_pss: %.1f MB\n", beside.pssKb / 1024.0);
    std::printf("memory_after_start_private_alone: %.1f MB\n", alone.privateKb / 1024.0);
    met = met && beside.privateKb > 0 && beside.privateKb < 15 * 1024;
    std::printf("startup_targets_met: %s\n", met ? "yes" : "no");
    return met ? 0 : 1;
}
