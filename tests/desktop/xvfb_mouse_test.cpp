// The real program in a real X window, played with the mouse from outside as
// a player plays it: an X server of its own (Xvfb, its screen kept in a file
// this test reads) and xdotool's moves and clicks, with nothing of the
// testing seam. Where Xvfb or xdotool is not installed, the test says so and
// is skipped.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_files.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int SCREEN_WIDTH = 1280, SCREEN_HEIGHT = 1024;
// Everything below happens within seconds; these only bound a hung child.
constexpr auto START_LIMIT = std::chrono::seconds(20);
constexpr auto QUIT_LIMIT = std::chrono::seconds(10);

bool OnPath(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (!folder.empty() && access((fs::path(folder) / program).c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

// A process this test started, ended and waited for when it goes.
class Child {
public:
    // Runs `argv` in `folder` with `display` as DISPLAY (when not empty);
    // `out` (when not -1) becomes its standard output.
    Child(const std::vector<std::string> &argv, const std::string &display, const fs::path &folder = ".",
          int out = -1)
    {
        pid = fork();
        if (pid != 0)
            return;
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        if (out >= 0)
            dup2(out, STDOUT_FILENO);
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDERR_FILENO);
        if (!display.empty())
            setenv("DISPLAY", display.c_str(), 1);
        unsetenv("SDL_VIDEODRIVER");
        std::vector<char *> args;
        for (const std::string &arg : argv)
            args.push_back(const_cast<char *>(arg.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;
    ~Child() { Stop(); }

    // Asks it to end (SIGTERM), kills it when it does not; its exit status,
    // or -1 when it was killed by a signal.
    int Stop()
    {
        if (pid <= 0)
            return status;
        kill(pid, SIGTERM);
        int raw = 0;
        const auto limit = Clock::now() + QUIT_LIMIT;
        while (waitpid(pid, &raw, WNOHANG) != pid) {
            if (Clock::now() > limit) {
                kill(pid, SIGKILL);
                waitpid(pid, &raw, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid = -1;
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        return status;
    }

    // Waits for it to end by itself; its exit status, -1 on a signal.
    int Wait()
    {
        int raw = 0;
        if (pid > 0 && waitpid(pid, &raw, 0) == pid) {
            pid = -1;
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        }
        return status;
    }

    bool Running() const { return pid > 0 && waitpid(pid, nullptr, WNOHANG) == 0; }

private:
    pid_t pid = -1;
    int status = -1;
};

// What a command prints.
std::string Output(const std::vector<std::string> &argv, const std::string &display)
{
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0)
        return "";
    Child child(argv, display, ".", pipe_ends[1]);
    close(pipe_ends[1]);
    std::string text;
    char buffer[256];
    for (ssize_t got; (got = read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(got));
    close(pipe_ends[0]);
    child.Wait();
    return text;
}

// The X server's screen as it stands: Xvfb keeps it in a file in the X
// window dump format, 32 bits a pixel in the order of its header.
struct Screen {
    std::vector<uint32_t> rgb;  // 0xRRGGBB, row by row
    uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * SCREEN_WIDTH + x]; }
};

uint32_t BigEndian(const std::string &bytes, size_t field)
{
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.data() + 4 * field);
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

bool ReadScreen(const fs::path &file, Screen *screen)
{
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 100)
        return false;
    // Fields of the header, by number.
    enum { XWD_HEADER_SIZE = 0, XWD_WIDTH = 4, XWD_HEIGHT = 5, XWD_BYTE_ORDER = 7, XWD_BITS_PER_PIXEL = 11, XWD_BYTES_PER_LINE = 12,
           XWD_RED_MASK = 14, XWD_GREEN_MASK = 15, XWD_BLUE_MASK = 16, XWD_COLOURS = 19 };
    if (BigEndian(bytes, XWD_WIDTH) != SCREEN_WIDTH || BigEndian(bytes, XWD_HEIGHT) != SCREEN_HEIGHT ||
        BigEndian(bytes, XWD_BITS_PER_PIXEL) != 32 || BigEndian(bytes, XWD_BYTE_ORDER) != 0 ||
        BigEndian(bytes, XWD_RED_MASK) != 0xFF0000 || BigEndian(bytes, XWD_GREEN_MASK) != 0xFF00 ||
        BigEndian(bytes, XWD_BLUE_MASK) != 0xFF)
        return false;
    const size_t start = BigEndian(bytes, XWD_HEADER_SIZE) + 12 * static_cast<size_t>(BigEndian(bytes, XWD_COLOURS));
    const size_t line = BigEndian(bytes, XWD_BYTES_PER_LINE);
    if (bytes.size() < start + line * SCREEN_HEIGHT)
        return false;
    screen->rgb.resize(static_cast<size_t>(SCREEN_WIDTH) * SCREEN_HEIGHT);
    for (int y = 0; y < SCREEN_HEIGHT; ++y) {
        const auto *row = reinterpret_cast<const unsigned char *>(bytes.data() + start + line * y);
        for (int x = 0; x < SCREEN_WIDTH; ++x) {
            const unsigned char *p = row + 4 * x;
            screen->rgb[static_cast<size_t>(y) * SCREEN_WIDTH + x] =
                (uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]) & 0xFFFFFF;
        }
    }
    return true;
}

// The number Xvfb chose for its display, written to `fd`; -1 when none came in time.
int ReadDisplayNumber(int fd)
{
    std::string number;
    const auto limit = Clock::now() + START_LIMIT;
    while (Clock::now() < limit) {
        pollfd wait{fd, POLLIN, 0};
        if (poll(&wait, 1, 100) <= 0)
            continue;
        char c = 0;
        if (read(fd, &c, 1) != 1)
            break;
        if (c == '\n')
            return number.empty() ? -1 : std::stoi(number);
        number += c;
    }
    return -1;
}

class XvfbWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!OnPath("Xvfb") || !OnPath("xdotool"))
            GTEST_SKIP() << "Xvfb or xdotool is not installed (Debian: xvfb, xdotool): the real window is not played";
        char pattern[] = "/tmp/torvek-xvfb-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        int pipe_ends[2];
        ASSERT_EQ(pipe(pipe_ends), 0);
        // -displayfd: the server takes the first free display and says which.
        server = std::make_unique<Child>(
            std::vector<std::string>{"Xvfb", "-displayfd", std::to_string(pipe_ends[1]), "-screen", "0",
                                     std::to_string(SCREEN_WIDTH) + "x" + std::to_string(SCREEN_HEIGHT) + "x24",
                                     "-fbdir", folder.string(), "-nolisten", "tcp"},
            "");
        close(pipe_ends[1]);
        const int number = ReadDisplayNumber(pipe_ends[0]);
        close(pipe_ends[0]);
        ASSERT_GE(number, 0) << "Xvfb did not start";
        display = ":" + std::to_string(number);
    }

    void TearDown() override
    {
        game.reset();
        server.reset();
        std::error_code ignored;
        if (!folder.empty())
            fs::remove_all(folder, ignored);
    }

    // Waits until `test` holds for the screen; false when it does not in time.
    bool WaitForScreen(const std::function<bool(const Screen &)> &test, Screen *seen)
    {
        const auto limit = Clock::now() + START_LIMIT;
        while (Clock::now() < limit) {
            if (ReadScreen(folder / "Xvfb_screen0", seen) && test(*seen))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::string Xdotool(std::vector<std::string> args)
    {
        args.insert(args.begin(), "xdotool");
        return Output(args, display);
    }

    fs::path folder;
    std::string display;
    std::unique_ptr<Child> server, game;
};

// The window's place on the screen, as xdotool tells it.
struct Place {
    int x = 0, y = 0, width = 0, height = 0;
};

Place ParsePlace(const std::string &shell)
{
    std::map<std::string, int> values;
    std::istringstream lines(shell);
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        if (equals != std::string::npos && line.substr(0, equals) != "WINDOW")
            values[line.substr(0, equals)] = std::atoi(line.c_str() + equals + 1);
    }
    return {values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]};
}

// How many pixels of a rectangle differ between two screens.
int Differing(const Screen &a, const Screen &b, int left, int top, int width, int height)
{
    int count = 0;
    for (int y = top; y < top + height; ++y)
        for (int x = left; x < left + width; ++x)
            count += a.At(x, y) != b.At(x, y);
    return count;
}

TEST_F(XvfbWindow, TheMouseAloneStartsAMatchAndPlacesAPiece)
{
    game = std::make_unique<Child>(std::vector<std::string>{TORVEK_PROGRAM}, display, torvek_test::DataDir());
    std::string window;
    const auto limit = Clock::now() + START_LIMIT;
    while (window.empty() && Clock::now() < limit && game->Running()) {
        std::istringstream found(Xdotool({"search", "--onlyvisible", "--name", "^torvek$"}));
        found >> window;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_FALSE(window.empty()) << "no window of the program showed";
    const Place place = ParsePlace(Xdotool({"getwindowgeometry", "--shell", window}));
    ASSERT_EQ(place.width, 1024);
    ASSERT_EQ(place.height, 768);
    ASSERT_LE(place.x + place.width, SCREEN_WIDTH);
    ASSERT_LE(place.y + place.height, SCREEN_HEIGHT);
    // A point of the virtual screen: the middle of its 4x4 block of the window.
    auto click = [&](int x, int y) {
        Xdotool({"mousemove", "--window", window, std::to_string(x * 4 + 2), std::to_string(y * 4 + 2),
                 "click", "1"});
    };
    auto on_screen = [&](int x, int y) { return std::pair{place.x + x * 4 + 2, place.y + y * 4 + 2}; };
    // Whether any pixel of a rectangle of the virtual screen is lit (not black).
    auto lit = [&](const Screen &s, int x, int y, int width, int height) {
        const Screen dark{std::vector<uint32_t>(s.rgb.size())};
        return Differing(s, dark, place.x + 4 * x, place.y + 4 * y, 4 * width, 4 * height) > 0;
    };
    Screen screen;
    // The title's version line, on the left at y 70, has no line of the menu beside it.
    ASSERT_TRUE(WaitForScreen([&](const Screen &s) { return lit(s, 20, 70, 180, 8); }, &screen))
        << "the title did not show";
    click(200, 180);
    ASSERT_TRUE(WaitForScreen([&](const Screen &s) { return !lit(s, 20, 70, 180, 8) && lit(s, 70, 100, 116, 8); },
                              &screen))
        << "a click on the title did not open the menu";
    click(128, 104);  // "N - Start game please"
    ASSERT_TRUE(WaitForScreen([&](const Screen &s) {
        const auto [x, y] = on_screen(4, 4);
        const uint32_t sky = s.At(x, y);
        return (sky & 0xFF) > 0x80 && (sky & 0xFF) > (sky >> 16) + 0x20;
    }, &screen)) << "a click on the menu's N line started no match: no sky";
    const Screen before = screen;

    click(50, 175);   // the third piece of the hand
    click(128, 137);  // the middle cell
    // A piece comes to stand in the middle cell: the upper part of its
    // picture, above the cell's marker, shows where the sky was.
    auto changed = [&](const Screen &s, int x, int y) {
        const auto [left, top] = on_screen(x, y);
        return Differing(before, s, left - 2, top - 2, 12 * 4, 12 * 4);
    };
    EXPECT_TRUE(WaitForScreen([&](const Screen &s) { return changed(s, 122, 120) > 500; }, &screen))
        << "no piece came to the middle cell";
    EXPECT_EQ(changed(screen, 106, 111), 0) << "something came to the back-left cell";
    EXPECT_EQ(game->Stop(), 0) << "the program did not quit cleanly when asked";
}

}  // namespace
