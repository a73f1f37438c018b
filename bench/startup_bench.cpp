// Start-up cost of the program against the floor of any Qt Widgets program:
// the time from process start until the first window is exposed and painted,
// and the peak resident memory of the whole run. The program, the empty
// window and the same window with one line of text run as child processes of
// this one, in turns, on Qt's offscreen platform (no display needed), with the
// same probe reporting their first window.
//
// This process stays free of Qt: a child's peak resident size also counts the
// pages it inherited from its parent before exec, so a large parent would
// raise the floor and hide the program's own cost.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char *Marker = "shown\n"; // written by ShownProbe
constexpr auto StartTimeout = std::chrono::seconds(30);

struct Start
{
    double ms = 0;
    double peakKib = 0;
    double cpuMs = 0; // user and system time of the whole run
    std::string failure;
};

// A program line and environment, turned into the arrays execve takes before
// the clock starts.
class Command
{
public:
    Command(std::vector<std::string> args, std::vector<std::string> env)
        : m_args(std::move(args))
        , m_env(std::move(env))
    {
        for (std::string &a : m_args)
            m_argv.push_back(a.data());
        m_argv.push_back(nullptr);
        for (std::string &e : m_env)
            m_envp.push_back(e.data());
        m_envp.push_back(nullptr);
    }
    char *const *argv() const { return m_argv.data(); }
    char *const *envp() const { return m_envp.data(); }

private:
    std::vector<std::string> m_args, m_env;
    std::vector<char *> m_argv, m_envp;
};

// Runs the program until it ends; the time is taken when its marker arrives.
Start startOnce(const Command &command)
{
    Start result;
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0)
        return {0, 0, 0, "pipe: " + std::string(std::strerror(errno))};
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);

    const Clock::time_point begin = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        if (devNull >= 0)
            dup2(devNull, STDERR_FILENO); // platform chatter would garble the table
        execve(command.argv()[0], command.argv(), command.envp());
        _exit(127);
    }
    close(out[1]);
    if (devNull >= 0)
        close(devNull);
    if (pid < 0) {
        close(out[0]);
        return {0, 0, 0, "fork: " + std::string(std::strerror(errno))};
    }

    // Read until the child closes its output by ending, or runs out of time
    // before its marker or before its end.
    std::string seen;
    bool shown = false, ended = false;
    const Clock::time_point deadline = begin + StartTimeout;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{out[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, int(left.count())) <= 0)
            break;
        char buffer[256];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            ended = n == 0;
            break;
        }
        seen.append(buffer, std::size_t(n));
        if (!shown && seen.find(Marker) != std::string::npos) {
            result.ms = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
            shown = true;
        }
    }
    if (!ended)
        kill(pid, SIGKILL);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    close(out[0]);
    result.peakKib = double(usage.ru_maxrss);
    const auto ms = [](const timeval &t) {
        return double(t.tv_sec) * 1e3 + t.tv_usec / 1e3;
    };
    result.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
    if (!shown)
        result.failure = command.argv()[0] + std::string(" never reported its window");
    else if (!ended || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        result.failure = command.argv()[0] + std::string(" did not end cleanly");
    return result;
}

std::vector<std::string> childEnvironment()
{
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("QT_QPA_PLATFORM=", 0) != 0 && entry.rfind("ZELK_", 0) != 0)
            env.push_back(entry);
    }
    env.emplace_back("QT_QPA_PLATFORM=offscreen");
    env.emplace_back("ZELK_EXIT_WHEN_SHOWN=1");
    return env;
}

// This process's resident size, the most a child can inherit.
double ownResidentKib()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtod(line.c_str() + 6, nullptr);
    }
    return 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A fresh application folder holding the shipped settings files, so the
// program starts as installed and nothing of another run is reused.
struct AppFolder
{
    fs::path path;
    std::string failure;

    explicit AppFolder(const fs::path &shipped)
    {
        std::string pattern = (fs::temp_directory_path() / "zelk-startup-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            failure = "cannot make a temporary folder";
            return;
        }
        path = pattern;
        for (const char *name : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"}) {
            std::error_code error;
            fs::copy_file(shipped / name, path / name, error);
            if (error)
                failure = std::string("cannot copy ") + name + ": " + error.message();
        }
    }
    ~AppFolder()
    {
        std::error_code ignored;
        if (!path.empty())
            fs::remove_all(path, ignored);
    }
};

void BM_StartupLauncherVsMinimalWindow(benchmark::State &state)
{
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    AppFolder folder(bin);
    if (!folder.failure.empty()) {
        state.SkipWithError(folder.failure.c_str());
        return;
    }
    const std::vector<std::string> env = childEnvironment();
    const Command launcher({(bin / "ZelkSoft").string(), "--app-dir", folder.path.string()}, env);
    const Command minimal({(bin / "minimal_window").string()}, env);
    const Command withText({(bin / "minimal_window").string(), "--text"}, env);
    const std::array<const Command *, 3> commands{&launcher, &minimal, &withText};

    // Not counted: fills the page and font caches for all three and lets the
    // program make its simulated bus file, as any start after the first
    // finds it.
    for (const Command *c : commands) {
        const Start warm = startOnce(*c);
        if (!warm.failure.empty()) {
            state.SkipWithError(warm.failure.c_str());
            return;
        }
    }

    // Per command, the figures of each of its starts.
    struct Taken
    {
        std::vector<double> ms, peakKib, cpuMs;
    };
    std::array<Taken, 3> taken;
    int turn = 0;
    for (auto _ : state) {
        // Rotating the order spreads any drift of the machine over all three.
        std::array<Start, 3> starts;
        for (int k = 0; k < 3; ++k) {
            const int c = (turn + k) % 3;
            starts[c] = startOnce(*commands[c]);
            if (!starts[c].failure.empty()) {
                state.SkipWithError(starts[c].failure.c_str());
                return;
            }
        }
        turn = (turn + 1) % 3;
        for (int c = 0; c < 3; ++c) {
            taken[c].ms.push_back(starts[c].ms);
            taken[c].peakKib.push_back(starts[c].peakKib);
            taken[c].cpuMs.push_back(starts[c].cpuMs);
        }
        state.SetIterationTime(starts[0].ms / 1000.0);
    }

    const double floorKib = median(taken[1].peakKib);
    if (ownResidentKib() * 2 > floorKib) {
        state.SkipWithError("this process is too large to measure its children's peak memory");
        return;
    }
    state.counters["launcher_ms"] = median(taken[0].ms);
    state.counters["minimal_ms"] = median(taken[1].ms);
    state.counters["text_window_ms"] = median(taken[2].ms);
    state.counters["launcher_peak_kib"] = median(taken[0].peakKib);
    state.counters["minimal_peak_kib"] = floorKib;
    // Not a target: CPU time tells slow work from waiting when the time misses.
    state.counters["launcher_cpu_ms"] = median(taken[0].cpuMs);
    state.counters["minimal_cpu_ms"] = median(taken[1].cpuMs);
}
// The medians are taken over the rotating triples of one repetition.
BENCHMARK(BM_StartupLauncherVsMinimalWindow)
    ->Iterations(15)
    ->Repetitions(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
