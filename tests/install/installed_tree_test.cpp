// The installed tree: `cmake --install` into a fresh prefix lays out the
// executable, its data, the desktop entry and the icons, and the installed
// program started from an unrelated folder finds its data and quits cleanly.
// The same for the Debian package, when test.sh has unpacked it and names
// the folder in TORVEK_PACKAGE_ROOT: its program finds the data laid out as
// Debian lays out games, and that data plays a placing.
//
// The program is run as a player would start it, with nothing of the testing
// seam: SDL's dummy video driver chosen in the environment, and SIGTERM (which
// SDL turns into a quit request, like the window's close button) to end it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "board.h"
#include "hge_testing.h"
#include "pieces.h"
#include "torvek_test.h"
#include "turns.h"

namespace fs = std::filesystem;

namespace {

// How long the program runs frames before it is asked to quit.
constexpr auto RUNNING_TIME = std::chrono::milliseconds(300);
// Start-up and quitting take tens of milliseconds; these only bound a hung
// program, which is then killed.
constexpr auto START_LIMIT = std::chrono::seconds(20);
constexpr auto QUIT_LIMIT = std::chrono::seconds(10);

std::string ReadText(const fs::path &path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The value of `key=` in a desktop entry, or "" when there is none.
std::string DesktopValue(const std::string &entry, const std::string &key)
{
    std::istringstream lines(entry);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    }
    return "";
}

// True once the process has its own SIGTERM handler, which SDL installs when
// it starts: a SIGTERM before that would kill the program outright.
bool CatchesSigterm(pid_t pid)
{
    std::istringstream status(ReadText("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) == 0) {
            unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
            return (mask >> (SIGTERM - 1)) & 1;
        }
    }
    return false;
}

struct ProgramRun {
    bool exited = false;  // ended by itself, not killed by a signal
    int exit_code = -1;
    std::string log;      // everything it wrote to standard error
};

// Waits until the process ends or `limit` passes; true when it has ended.
bool EndsBefore(pid_t pid, int *status, std::chrono::steady_clock::time_point limit,
                const std::function<bool()> &keep_waiting = [] { return true; })
{
    while (keep_waiting() && std::chrono::steady_clock::now() < limit) {
        if (waitpid(pid, status, WNOHANG) == pid)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

// Starts `executable` in `folder` with the dummy video driver, lets it run
// frames for a moment, asks it to quit and waits for it.
ProgramRun RunFrom(const fs::path &executable, const fs::path &folder)
{
    const fs::path log_path = folder / "stderr.txt";
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(folder.c_str()) != 0)
            _exit(126);
        int log = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log < 0)
            _exit(126);
        dup2(log, STDERR_FILENO);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        execl(executable.c_str(), executable.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    ProgramRun run;
    if (pid < 0)
        return run;

    int status = 0;
    const auto now = std::chrono::steady_clock::now;
    if (!EndsBefore(pid, &status, now() + START_LIMIT, [pid] { return !CatchesSigterm(pid); })) {
        std::this_thread::sleep_for(RUNNING_TIME);
        kill(pid, SIGTERM);
        if (!EndsBefore(pid, &status, now() + QUIT_LIMIT)) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
    }
    run.exited = WIFEXITED(status);
    run.exit_code = run.exited ? WEXITSTATUS(status) : -1;
    run.log = ReadText(log_path);
    return run;
}

class InstalledTree : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/torvek-install-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        scratch = pattern;
        prefix = scratch / "prefix";
        elsewhere = scratch / "elsewhere";
        fs::create_directories(elsewhere);

        const fs::path install_log = scratch / "install.txt";
        const std::string command = std::string("\"") + TORVEK_CMAKE_COMMAND + "\" --install \"" +
                                    torvek_test::DataDir() + "\" --prefix \"" + prefix.string() +
                                    "\" > \"" + install_log.string() + "\" 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << ReadText(install_log);
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(scratch, ignored);
    }

    fs::path scratch, prefix, elsewhere;
};

TEST_F(InstalledTree, LaysOutTheExecutableItsDataADesktopEntryAndIcons)
{
    const fs::path executable = prefix / TORVEK_INSTALL_BIN_DIR / "torvek";
    ASSERT_TRUE(fs::is_regular_file(executable));
    EXPECT_EQ(access(executable.c_str(), X_OK), 0);
    for (const std::string &file : torvek_test::DataFiles()) {
        const fs::path installed = prefix / TORVEK_INSTALL_DATA_DIR / file;
        ASSERT_TRUE(fs::is_regular_file(installed)) << installed;
        EXPECT_EQ(fs::file_size(installed), fs::file_size(fs::path(torvek_test::DataDir()) / file))
            << file;
    }

    // The other layout, which only the Debian package installs, is not here too.
    const bool games_layout = std::string(TORVEK_INSTALL_BIN_DIR) == "games";
    EXPECT_FALSE(fs::exists(prefix / (games_layout ? "bin" : "games")));
    EXPECT_FALSE(fs::exists(prefix / (games_layout ? "share/torvek" : "share/games")));

    const std::string entry = ReadText(prefix / "share/applications/torvek.desktop");
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
    EXPECT_EQ(DesktopValue(entry, "Type"), "Application");
    EXPECT_EQ(DesktopValue(entry, "Name"), "TORVEK");
    EXPECT_EQ(DesktopValue(entry, "Exec"), executable.string());
    EXPECT_EQ(DesktopValue(entry, "Icon"), "torvek");
    EXPECT_EQ(DesktopValue(entry, "Terminal"), "false");
    EXPECT_NE(DesktopValue(entry, "Categories").find("Game;"), std::string::npos);

    // Each icon sits in the folder named for its size, as icon themes look it
    // up; the large one is the small one's pixels, each a square of four by four.
    const fs::path icons = prefix / "share/icons/hicolor";
    const hgeTesting::Pixels icon = hgeTesting::LoadPNG((icons / "64x64/apps/torvek.png").string());
    const hgeTesting::Pixels large = hgeTesting::LoadPNG((icons / "256x256/apps/torvek.png").string());
    ASSERT_EQ(icon.width, 64);
    ASSERT_EQ(icon.height, 64);
    ASSERT_EQ(large.width, 256);
    ASSERT_EQ(large.height, 256);
    int differing = 0;
    for (int y = 0; y < large.height; ++y)
        for (int x = 0; x < large.width; ++x)
            differing += large.At(x, y) != icon.At(x / 4, y / 4);
    EXPECT_EQ(differing, 0) << "pixels of the large icon that are not the small one's";
}

TEST_F(InstalledTree, StartedFromAnotherFolderFindsItsDataAndQuitsCleanly)
{
    const ProgramRun run = RunFrom(prefix / TORVEK_INSTALL_BIN_DIR / "torvek", elsewhere);
    EXPECT_TRUE(run.exited) << "ended by a signal: it crashed, or did not quit on SIGTERM and was killed";
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.log, "") << "the installed program complained";
}

// The same executable without its share/ folder beside it cannot find its
// data and says so: the check above really sees a missing file.
TEST_F(InstalledTree, WithoutItsDataFolderTheProgramNamesWhatIsMissing)
{
    const fs::path alone = elsewhere / "torvek";
    fs::copy_file(prefix / TORVEK_INSTALL_BIN_DIR / "torvek", alone);
    const ProgramRun run = RunFrom(alone, elsewhere);
    EXPECT_TRUE(run.exited) << "ended by a signal: it crashed, or did not quit on SIGTERM and was killed";
    EXPECT_EQ(run.exit_code, 0);
    for (const char *file : {"Images/Background/TRVK_sky.png", "Fonts/font1.fnt"})
        EXPECT_NE(run.log.find(file), std::string::npos) << file << " not named in:\n" << run.log;
}

class UnpackedPackage : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *unpacked = std::getenv("TORVEK_PACKAGE_ROOT");
        if (!unpacked)
            GTEST_SKIP() << "no unpacked package named in TORVEK_PACKAGE_ROOT (./test.sh names one)";
        root = unpacked;
        char pattern[] = "/tmp/torvek-package-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        elsewhere = pattern;
        home = fs::current_path();
    }

    void TearDown() override
    {
        std::error_code ignored;
        fs::current_path(home, ignored);
        if (!elsewhere.empty())
            fs::remove_all(elsewhere, ignored);
    }

    fs::path root, elsewhere, home;
};

TEST_F(UnpackedPackage, TheGameStartedFromAnotherFolderFindsItsDataAndQuitsCleanly)
{
    const ProgramRun run = RunFrom(root / "usr/games/torvek", elsewhere);
    EXPECT_TRUE(run.exited) << "ended by a signal: it crashed, or did not quit on SIGTERM and was killed";
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.log, "") << "the packaged program complained";
}

// The program, started in the package's data folder, deals a match and
// places the first piece of the side to move on the front-left cell.
TEST_F(UnpackedPackage, ItsDataPlaysAPlacing)
{
    fs::current_path(root / "usr/share/games/torvek");
    std::vector<int> keys = {HGEK_ENTER, HGEK_N, HGEK_SPACE, HGEK_SPACE};
    keys.resize(keys.size() + 10 * 60, 0);  // ten seconds for the move to play out
    const int last_frame = static_cast<int>(keys.size());
    int mover = -1;
    bool placed = false;
    const int exit_code = torvek_test::RunGame(keys, [&](int frame) {
        if (frame == 2)
            mover = game_turn;
        if (frame < last_frame)
            return false;
        const Piece *piece = board_array[FRONT_LEFT_CELL];
        placed = piece && piece->Get_Owner() == mover;
        return true;
    });
    const std::vector<std::string> log = hgeTesting::LogLines();
    hgeTesting::Reset();
    EXPECT_EQ(exit_code, 0);
    EXPECT_TRUE(placed) << "no piece of the side to move on the front-left cell";
    EXPECT_TRUE(log.empty()) << log.front();
}

}  // namespace
