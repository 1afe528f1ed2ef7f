// The real program as a process: on a private X server it shows its window with the program
// icon, and closing that window the way a window manager's close box does (WM_DELETE_WINDOW)
// ends it with exit code 0, while the song plays on the player's output thread. Without a
// display it says so in one line and exits with status 1. Skipped where no Xvfb is installed.
// HASHCALC_TEST_PROGRAM names another program to start instead of the one just built (the
// installation check runs the installed program this way).
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr auto kPatience = std::chrono::seconds(60);  // generous: sanitizer builds start slowly
constexpr const char* kCaption = " Vorlan's Hash Calculation";

bool ProgramOnPath(const char* name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// The program under test: the one built here unless HASHCALC_TEST_PROGRAM names another.
std::string ProgramUnderTest() {
    const char* other = std::getenv("HASHCALC_TEST_PROGRAM");
    return other != nullptr && other[0] != '\0' ? other : HASHCALC_PROGRAM;
}

// Starts a program; its standard error goes to `errorFd` when that is not -1.
pid_t Spawn(const std::vector<std::string>& arguments, const std::vector<std::string>& env,
            int errorFd = -1) {
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    envp.reserve(env.size() + 1);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (errorFd >= 0) posix_spawn_file_actions_adddup2(&actions, errorFd, STDERR_FILENO);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed != 0 ? -1 : pid;
}

// Waits for the child to end; false if it is still running after the patience runs out.
bool WaitForExit(pid_t pid, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, &status, WNOHANG) == pid) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

void Stop(pid_t pid, int signal) {
    if (pid <= 0) return;
    kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
}

// A private X server; its display number comes back through -displayfd.
struct XServer {
    pid_t pid = -1;
    std::string display;
};

XServer StartXServer(const char* screen = "1024x768x24") {
    XServer server;
    int fds[2];
    if (pipe(fds) != 0) return server;
    server.pid = Spawn(
        {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", screen, "-nolisten", "tcp"},
        {"PATH=" + std::string(std::getenv("PATH") ? std::getenv("PATH") : "")});
    close(fds[1]);
    std::string number;
    pollfd reader{fds[0], POLLIN, 0};
    while (poll(&reader, 1, 30000) > 0) {
        char c;
        if (read(fds[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    close(fds[0]);
    if (!number.empty()) server.display = ":" + number;
    return server;
}

std::string Property(xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property) {
    // Up to 4 MiB: enough for an icon property with every size up to 256 pixels.
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 20);
    xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr);
    std::string value;
    if (reply != nullptr) {
        value.assign(static_cast<const char*>(xcb_get_property_value(reply)),
                     static_cast<size_t>(xcb_get_property_value_length(reply)));
        std::free(reply);
    }
    return value;
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

// The mapped top-level window with the program's caption, or none.
xcb_window_t FindShownWindow(xcb_connection_t* connection, xcb_window_t root,
                             const std::string& caption = kCaption) {
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(connection, xcb_query_tree(connection, root), nullptr);
    if (tree == nullptr) return XCB_WINDOW_NONE;
    xcb_window_t found = XCB_WINDOW_NONE;
    const xcb_window_t* children = xcb_query_tree_children(tree);
    for (int i = 0; i < xcb_query_tree_children_length(tree) && found == XCB_WINDOW_NONE; ++i) {
        if (Property(connection, children[i], XCB_ATOM_WM_NAME) != caption) continue;
        xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
            connection, xcb_get_window_attributes(connection, children[i]), nullptr);
        if (attributes != nullptr && attributes->map_state == XCB_MAP_STATE_VIEWABLE) {
            found = children[i];
        }
        std::free(attributes);
    }
    std::free(tree);
    return found;
}

// The widths of the images in a window's _NET_WM_ICON: width, height, then width * height
// pixels, for each image in turn.
std::vector<uint32_t> IconWidths(xcb_connection_t* connection, xcb_window_t window) {
    const std::string value = Property(connection, window, Atom(connection, "_NET_WM_ICON"));
    std::vector<uint32_t> words(value.size() / 4);
    std::memcpy(words.data(), value.data(), words.size() * 4);
    std::vector<uint32_t> widths;
    for (size_t at = 0; at + 2 <= words.size();) {
        const uint64_t pixels = uint64_t{words[at]} * words[at + 1];
        if (pixels == 0 || at + 2 + pixels > words.size()) break;
        widths.push_back(words[at]);
        at += 2 + pixels;
    }
    return widths;
}

std::string ReadLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// The process's threads by id, with their names.
std::vector<std::pair<std::string, std::string>> Threads(pid_t pid) {
    std::vector<std::pair<std::string, std::string>> threads;
    const std::string folder = "/proc/" + std::to_string(pid) + "/task";
    DIR* tasks = opendir(folder.c_str());
    if (tasks == nullptr) return threads;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        threads.emplace_back(entry->d_name, ReadLine(folder + "/" + entry->d_name + "/comm"));
    }
    closedir(tasks);
    return threads;
}

long VoluntarySwitches(pid_t pid, const std::string& thread) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/task/" + thread + "/status");
    std::string line;
    const std::string key = "voluntary_ctxt_switches:";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + key.size());
    }
    return -1;
}

// The song plays: SDL's audio thread runs the device, and the player's output thread (unnamed,
// so it carries the program's name) wakes every few milliseconds to follow it.
void ExpectMusicPlays(pid_t program) {
    const std::string name = ReadLine("/proc/" + std::to_string(program) + "/comm");
    bool device = false;
    std::string output;
    for (const auto& [thread, comm] : Threads(program)) {
        if (comm.rfind("SDLAudio", 0) == 0) device = true;
        if (comm == name && thread != std::to_string(program)) output = thread;
    }
    EXPECT_TRUE(device) << "no SDL audio thread: the wave device is not open";
    ASSERT_FALSE(output.empty()) << "no output thread";
    const long before = VoluntarySwitches(program, output);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    // Polling every 5 ms it sleeps about a hundred times in half a second.
    EXPECT_GT(VoluntarySwitches(program, output), before + 20) << "the output thread does not run";
}

}  // namespace

TEST(Program, ClosingItsWindowEndsItWithExitCode0) {
    if (!ProgramOnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    const XServer server = StartXServer();
    ASSERT_FALSE(server.display.empty()) << "Xvfb did not start";

    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
            entry.rfind("QT_QPA_PLATFORM=", 0) == 0 || entry.rfind("SDL_AUDIODRIVER=", 0) == 0) {
            continue;
        }
        env.push_back(entry);
    }
    env.push_back("DISPLAY=" + server.display);
    env.push_back("QT_QPA_PLATFORM=xcb");
    // No sound card needed: SDL's dummy driver plays in real time into nothing.
    env.push_back("SDL_AUDIODRIVER=dummy");
    const pid_t program = Spawn({ProgramUnderTest()}, env);
    ASSERT_GT(program, 0);

    xcb_connection_t* connection = xcb_connect(server.display.c_str(), nullptr);
    ASSERT_EQ(xcb_connection_has_error(connection), 0);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_window_t window = XCB_WINDOW_NONE;
    int status = 0;
    bool ended = false;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (window == XCB_WINDOW_NONE && !ended && std::chrono::steady_clock::now() < deadline) {
        window = FindShownWindow(connection, root);
        ended = waitpid(program, &status, WNOHANG) == program;
        if (window == XCB_WINDOW_NONE) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_FALSE(ended) << "the program ended before showing its window";
    EXPECT_NE(window, XCB_WINDOW_NONE) << "no window titled \"" << kCaption << "\"";

    if (window != XCB_WINDOW_NONE && !ended) {
        const std::vector<uint32_t> icons = IconWidths(connection, window);
        for (const uint32_t size : {16u, 32u, 48u}) {
            EXPECT_NE(std::find(icons.begin(), icons.end(), size), icons.end())
                << "no " << size << " pixel icon on the window";
        }
        ExpectMusicPlays(program);
        xcb_client_message_event_t close{};
        close.response_type = XCB_CLIENT_MESSAGE;
        close.format = 32;
        close.window = window;
        close.type = Atom(connection, "WM_PROTOCOLS");
        close.data.data32[0] = Atom(connection, "WM_DELETE_WINDOW");
        close.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&close));
        xcb_flush(connection);
        ended = WaitForExit(program, status);
        EXPECT_TRUE(ended) << "the program is still running after its window was closed";
        if (ended) {
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), 0);
        }
    }
    xcb_disconnect(connection);
    if (!ended) Stop(program, SIGKILL);
    Stop(server.pid, SIGTERM);  // lets the server remove its lock file
}

namespace {

struct Outcome {
    int status = -1;
    std::string errors;  // what it wrote to standard error
};

// Starts the program with `display` (or none) and waits for its end.
Outcome RunWithDisplay(const char* display) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
            entry.rfind("QT_QPA_PLATFORM=", 0) == 0) {
            continue;
        }
        env.push_back(entry);
    }
    if (display != nullptr) env.push_back(std::string("DISPLAY=") + display);
    env.push_back("QT_QPA_PLATFORM=xcb");
    env.push_back("SDL_AUDIODRIVER=dummy");
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t program = Spawn({ProgramUnderTest()}, env, fds[1]);
    close(fds[1]);
    Outcome outcome;
    char buffer[256];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0)
        outcome.errors.append(buffer, static_cast<std::size_t>(got));
    close(fds[0]);
    if (program > 0 && !WaitForExit(program, outcome.status)) Stop(program, SIGKILL);
    return outcome;
}

}  // namespace

TEST(Program, WithoutADisplayItSaysSoInOneLineAndExitsWith1) {
    struct Case {
        const char* display;
        const char* named;  // how the line names what was tried
    };
    // No variable at all, and a display no server answers on.
    for (const Case c : {Case{nullptr, "DISPLAY is not set"}, Case{":4711", "DISPLAY=:4711"}}) {
        SCOPED_TRACE(c.named);
        const Outcome outcome = RunWithDisplay(c.display);
        ASSERT_TRUE(WIFEXITED(outcome.status)) << "ended by a signal: " << outcome.errors;
        EXPECT_EQ(WEXITSTATUS(outcome.status), 1);
        EXPECT_EQ(std::count(outcome.errors.begin(), outcome.errors.end(), '\n'), 1)
            << outcome.errors;
        EXPECT_NE(outcome.errors.find("no display could be opened"), std::string::npos)
            << outcome.errors;
        EXPECT_NE(outcome.errors.find(c.named), std::string::npos) << outcome.errors;
    }
}

namespace {

// The program shown on a private X server of the given size, with extra environment.
struct ShownProgram {
    XServer server;
    pid_t pid = -1;
    xcb_connection_t* connection = nullptr;
    xcb_window_t window = XCB_WINDOW_NONE;

    ~ShownProgram() {
        if (connection != nullptr) xcb_disconnect(connection);
        Stop(pid, SIGKILL);
        Stop(server.pid, SIGTERM);
    }
};

void Show(ShownProgram& shown, const std::vector<std::string>& arguments,
          const std::vector<std::string>& extraEnv, const char* screen = "1024x768x24",
          const std::string& caption = kCaption) {
    shown.server = StartXServer(screen);
    ASSERT_FALSE(shown.server.display.empty()) << "Xvfb did not start";
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("QT_", 0) == 0 ||
            entry.rfind("SDL_AUDIODRIVER=", 0) == 0) {
            continue;
        }
        env.push_back(entry);
    }
    env.push_back("DISPLAY=" + shown.server.display);
    env.push_back("QT_QPA_PLATFORM=xcb");
    env.push_back("SDL_AUDIODRIVER=dummy");
    env.insert(env.end(), extraEnv.begin(), extraEnv.end());
    std::vector<std::string> argv = {ProgramUnderTest()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    shown.pid = Spawn(argv, env);
    ASSERT_GT(shown.pid, 0);
    shown.connection = xcb_connect(shown.server.display.c_str(), nullptr);
    ASSERT_EQ(xcb_connection_has_error(shown.connection), 0);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(shown.connection)).data->root;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (shown.window == XCB_WINDOW_NONE && std::chrono::steady_clock::now() < deadline) {
        shown.window = FindShownWindow(shown.connection, root, caption);
        if (shown.window == XCB_WINDOW_NONE)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_NE(shown.window, XCB_WINDOW_NONE) << "no window titled \"" << caption << "\"";
}

// Runs the program to its end without a display; its output and status.
struct Printed {
    int status = -1;
    std::string out, err;
};

Printed RunToEnd(const std::vector<std::string>& arguments) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return {};
    std::vector<std::string> argv = {ProgramUnderTest()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    pid_t pid = -1;
    posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    Printed printed;
    char buffer[512];
    ssize_t got;
    while ((got = read(out[0], buffer, sizeof buffer)) > 0)
        printed.out.append(buffer, static_cast<std::size_t>(got));
    while ((got = read(err[0], buffer, sizeof buffer)) > 0)
        printed.err.append(buffer, static_cast<std::size_t>(got));
    close(out[0]);
    close(err[0]);
    if (pid > 0 && !WaitForExit(pid, printed.status)) Stop(pid, SIGKILL);
    return printed;
}

}  // namespace

TEST(Program, TerminationSignalsEndItAsClosingDoes) {
    if (!ProgramOnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        ShownProgram shown;
        Show(shown, {}, {});
        if (HasFatalFailure()) return;
        // The song plays, so the audio start has run (it used to take these signals over).
        ExpectMusicPlays(shown.pid);
        kill(shown.pid, signal);
        int status = 0;
        const auto sent = std::chrono::steady_clock::now();
        bool ended = false;
        while (!ended && std::chrono::steady_clock::now() - sent < std::chrono::seconds(5)) {
            ended = waitpid(shown.pid, &status, WNOHANG) == shown.pid;
            if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(ended) << "still running 5 s after the signal";
        shown.pid = -1;
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

TEST(Program, AtTwiceTheScaleTheWindowFitsA1280By800Screen) {
    if (!ProgramOnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    ShownProgram shown;
    Show(shown, {}, {"QT_SCALE_FACTOR=2"}, "1280x800x24");
    if (HasFatalFailure()) return;
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(
        shown.connection, xcb_get_geometry(shown.connection, shown.window), nullptr);
    ASSERT_NE(geometry, nullptr);
    EXPECT_GE(geometry->x, 0);
    EXPECT_GE(geometry->y, 0);
    EXPECT_LE(geometry->x + geometry->width, 1280);
    EXPECT_LE(geometry->y + geometry->height, 800);
    // Still a usable size, not a postage stamp.
    EXPECT_GT(geometry->height, 400);
    std::free(geometry);
}

TEST(Program, HelpVersionAndUnknownOptions) {
    const Printed help = RunToEnd({"--help"});
    ASSERT_TRUE(WIFEXITED(help.status));
    EXPECT_EQ(WEXITSTATUS(help.status), 0);
    EXPECT_EQ(help.out.rfind("usage: hashcalc [FILE]\n", 0), 0u) << help.out;
    EXPECT_EQ(help.err, "");

    const Printed version = RunToEnd({"--version"});
    ASSERT_TRUE(WIFEXITED(version.status));
    EXPECT_EQ(WEXITSTATUS(version.status), 0);
    EXPECT_EQ(version.out.rfind("hashcalc ", 0), 0u) << version.out;

    const Printed unknown = RunToEnd({"--bogus"});
    ASSERT_TRUE(WIFEXITED(unknown.status));
    EXPECT_EQ(WEXITSTATUS(unknown.status), 2);
    EXPECT_EQ(unknown.out, "");
    EXPECT_EQ(std::count(unknown.err.begin(), unknown.err.end(), '\n'), 1) << unknown.err;
    EXPECT_NE(unknown.err.find("--bogus"), std::string::npos);
}

TEST(Program, AFileOnTheCommandLineIsHashedAndNamedInTheTitle) {
    if (!ProgramOnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
    // Under TMPDIR when it is set: the installation check points it into the system the
    // program runs in.
    const char* temporary = std::getenv("TMPDIR");
    std::string folder =
        std::string(temporary != nullptr && *temporary != '\0' ? temporary : "/tmp") +
        "/hashcalc-start-XXXXXX";
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const std::string path = folder + "/named.txt";
    std::ofstream(path) << "abc";
    {
        // The window comes up titled with the file once its digests are shown.
        ShownProgram shown;
        Show(shown, {path}, {}, "1024x768x24", "named.txt - Vorlan's Hash Calculation");
    }
    std::remove(path.c_str());
    rmdir(folder.c_str());
}
