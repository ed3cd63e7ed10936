// The installed tree: `cmake --install` into a fresh prefix lays out the
// executable, its data, the desktop entry and the icon, and the installed
// program started from an unrelated folder finds its data and quits cleanly.
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
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "hge_testing.h"
#include "torvek_test.h"

namespace fs = std::filesystem;

namespace {

// How long the program runs frames before it is asked to quit.
constexpr auto RUNNING_TIME = std::chrono::milliseconds(300);
// Start-up is tens of milliseconds; this only bounds a hung program.
constexpr auto START_LIMIT = std::chrono::seconds(20);

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
    bool ended = false;
    const auto limit = std::chrono::steady_clock::now() + START_LIMIT;
    while (!CatchesSigterm(pid) && std::chrono::steady_clock::now() < limit) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            ended = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (!ended) {
        std::this_thread::sleep_for(RUNNING_TIME);
        kill(pid, SIGTERM);
        waitpid(pid, &status, 0);
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

TEST_F(InstalledTree, LaysOutTheExecutableItsDataADesktopEntryAndAnIcon)
{
    const fs::path executable = prefix / "bin/torvek";
    ASSERT_TRUE(fs::is_regular_file(executable));
    EXPECT_EQ(access(executable.c_str(), X_OK), 0);
    for (const std::string &file : torvek_test::DataFiles()) {
        const fs::path installed = prefix / "share/torvek" / file;
        ASSERT_TRUE(fs::is_regular_file(installed)) << installed;
        EXPECT_EQ(fs::file_size(installed), fs::file_size(fs::path(torvek_test::DataDir()) / file))
            << file;
    }

    const std::string entry = ReadText(prefix / "share/applications/torvek.desktop");
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u) << entry;
    EXPECT_EQ(DesktopValue(entry, "Type"), "Application");
    EXPECT_EQ(DesktopValue(entry, "Name"), "TORVEK");
    EXPECT_EQ(DesktopValue(entry, "Exec"), executable.string());
    EXPECT_EQ(DesktopValue(entry, "Icon"), "torvek");
    EXPECT_EQ(DesktopValue(entry, "Terminal"), "false");
    EXPECT_NE(DesktopValue(entry, "Categories").find("Game;"), std::string::npos);

    // The icon sits in the folder named for its size, as icon themes look it up.
    const hgeTesting::Pixels icon =
        hgeTesting::LoadPNG((prefix / "share/icons/hicolor/64x64/apps/torvek.png").string());
    EXPECT_EQ(icon.width, 64);
    EXPECT_EQ(icon.height, 64);
}

TEST_F(InstalledTree, StartedFromAnotherFolderFindsItsDataAndQuitsCleanly)
{
    const ProgramRun run = RunFrom(prefix / "bin/torvek", elsewhere);
    EXPECT_TRUE(run.exited) << "ended by a signal";
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.log, "") << "the installed program complained";
}

// The same executable without its share/ folder beside it cannot find its
// data and says so: the check above really sees a missing file.
TEST_F(InstalledTree, WithoutItsDataFolderTheProgramNamesWhatIsMissing)
{
    const fs::path alone = elsewhere / "torvek";
    fs::copy_file(prefix / "bin/torvek", alone);
    const ProgramRun run = RunFrom(alone, elsewhere);
    EXPECT_TRUE(run.exited) << "ended by a signal";
    EXPECT_EQ(run.exit_code, 0);
    for (const char *file : {"Images/Background/TRVK_sky.png", "Fonts/font1.fnt"})
        EXPECT_NE(run.log.find(file), std::string::npos) << file << " not named in:\n" << run.log;
}

}  // namespace
