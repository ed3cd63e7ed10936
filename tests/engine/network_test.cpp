// The engine's WebSocket connection, played through a real server on
// 127.0.0.1 that each test starts (ws_server.py beside this file, on
// Python's websockets): text both ways in order and only between frames, the
// states a game sees and the words it shows when a connection cannot be made
// or ends, the limits of a message, wss:// with a certificate authority
// made by the test, the heartbeat, and closing cleanly.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "child.h"
#include "engine_test.h"
#include "test_files.h"

using engine_test::HeadlessEngine;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double SERVER_START_SECONDS = 10.0;
constexpr double SERVER_STOP_SECONDS = 5.0;
constexpr double WAIT_SECONDS = 5.0;
// Beast pings after 5 s of silence and gives up 5 s later.
constexpr double HEARTBEAT_SECONDS = 15.0;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Debian's own Python, where python3-websockets is, before any other on PATH.
std::string Python()
{
    return access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

// The test's WebSocket server, as a program of its own whose lines say what
// it saw: "open PATH", "received TEXT", "closed CODE".
class TestServer {
public:
    explicit TestServer(const std::vector<std::string> &options = {}) : program(Words(options))
    {
        const std::string first = NextLine(SERVER_START_SECONDS);
        if (first.rfind("listening ", 0) == 0)
            port = std::stoi(first.substr(10));
    }

    ~TestServer()
    {
        program.Signal(SIGCONT);
        program.Signal(SIGTERM);
        program.Wait(SERVER_STOP_SECONDS);
    }

    int Port() const { return port; }

    std::string Url(const std::string &path = "/", const std::string &scheme = "ws") const
    {
        return scheme + "://127.0.0.1:" + std::to_string(port) + path;
    }

    // The next line it says within `seconds`; "" when none comes.
    std::string NextLine(double seconds = WAIT_SECONDS) { return program.Next_Line(seconds); }

    // Skips lines until it says `line`; false when it does not within `seconds`.
    bool Says(const std::string &line, double seconds = WAIT_SECONDS)
    {
        const Clock::time_point start = Clock::now();
        while (SecondsSince(start) < seconds) {
            const std::string said = NextLine(seconds - SecondsSince(start));
            if (said == line)
                return true;
            if (said.empty())
                return false;
        }
        return false;
    }

    void Signal(int signal_number) { program.Signal(signal_number); }

private:
    static std::vector<std::string> Words(const std::vector<std::string> &options)
    {
        std::vector<std::string> words = {Python(), std::string(TORVEK_SOURCE_DIR) + "/tests/engine/ws_server.py"};
        words.insert(words.end(), options.begin(), options.end());
        return words;
    }

    Child program;
    int port = 0;
};

// The frame function's work, for RunFramesUntil.
std::function<bool()> frame_work;

bool RunFrameWork()
{
    // A paced game sleeps between frames; the virtual clock does not.
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return frame_work();
}

class Network : public HeadlessEngine {
protected:
    // A server that outlives the engine's shutdown in TearDown, so that the
    // engine's clean close is answered.
    TestServer &StartServer(const std::vector<std::string> &options = {})
    {
        servers.push_back(std::make_unique<TestServer>(options));
        return *servers.back();
    }

    // Runs frames until `work`, called in each frame function, returns true;
    // false when `seconds` of real time pass first.
    bool RunFramesUntil(const std::function<bool()> &work, double seconds = WAIT_SECONDS)
    {
        const Clock::time_point start = Clock::now();
        bool done = false;
        frame_work = [&] {
            done = work();
            return done || SecondsSince(start) > seconds;
        };
        hge->System_SetState(HGE_FRAMEFUNC, RunFrameWork);
        hge->System_Start();
        return done;
    }

    bool RunUntilState(int state, double seconds = WAIT_SECONDS)
    {
        return RunFramesUntil([&] { return hge->Net_GetState() == state; }, seconds);
    }

    // Runs frames until `count` messages have come (or the connection ended
    // and none is left) and returns them.
    std::vector<std::string> Receive(size_t count, double seconds = WAIT_SECONDS)
    {
        std::vector<std::string> got;
        RunFramesUntil(
            [&] {
                while (const char *text = hge->Net_Receive())
                    got.push_back(text);
                return got.size() >= count || hge->Net_GetState() == HGENET_FAILED ||
                       hge->Net_GetState() == HGENET_CLOSED;
            },
            seconds);
        return got;
    }

    bool Logged(const std::string &words) const
    {
        const std::vector<std::string> &lines = hgeTesting::LogLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string &line) { return line.find(words) != std::string::npos; });
    }

    std::string Error() const { return hge->Net_GetError(); }

    std::vector<std::unique_ptr<TestServer>> servers;

    void Open(TestServer &server, const std::string &path = "/")
    {
        ASSERT_NE(server.Port(), 0) << "the test server did not start";
        ASSERT_TRUE(hge->Net_Connect(server.Url(path).c_str()));
        ASSERT_TRUE(RunUntilState(HGENET_OPEN)) << Error();
        ASSERT_TRUE(server.Says("open " + path));
    }
};

TEST_F(Network, TextGoesBothWaysInOrderAndArrivesOnlyBetweenFrames)
{
    TestServer &server = StartServer();
    ASSERT_NE(server.Port(), 0);
    EXPECT_EQ(hge->Net_GetState(), HGENET_CLOSED);
    EXPECT_EQ(Error(), "");

    ASSERT_TRUE(hge->Net_Connect(server.Url("/room?seat=1").c_str()));
    EXPECT_EQ(hge->Net_GetState(), HGENET_CONNECTING);
    // Queued while connecting, sent in order once open.
    hge->Net_Send("first");
    hge->Net_Send("h\xC3\xA9llo \xE2\x99\x9F");
    hge->Net_Send("");
    std::vector<int> states;
    ASSERT_TRUE(RunFramesUntil([&] {
        if (states.empty() || states.back() != hge->Net_GetState())
            states.push_back(hge->Net_GetState());
        return hge->Net_GetState() == HGENET_OPEN;
    }));
    EXPECT_EQ(states, (std::vector<int>{HGENET_CONNECTING, HGENET_OPEN}));
    EXPECT_EQ(Error(), "");
    EXPECT_TRUE(server.Says("open /room?seat=1"));
    EXPECT_EQ(Receive(3), (std::vector<std::string>{"first", "h\xC3\xA9llo \xE2\x99\x9F", ""}));
    EXPECT_TRUE(Logged("network: connected to " + server.Url("/room?seat=1")));

    // The echo of a message comes back while its frame sleeps, but the frame
    // sees only what had come when it began; a later frame has it.
    bool sent = false;
    bool seen_mid_frame = false;
    std::vector<std::string> later;
    RunFramesUntil([&] {
        if (!sent) {
            sent = true;
            hge->Net_Send("late");
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            seen_mid_frame = hge->Net_Receive() != nullptr;
            return false;
        }
        while (const char *text = hge->Net_Receive())
            later.push_back(text);
        return !later.empty();
    });
    EXPECT_FALSE(seen_mid_frame);
    EXPECT_EQ(later, (std::vector<std::string>{"late"}));
}

TEST_F(Network, FramesNeverWaitForTheNetwork)
{
    TestServer &server = StartServer();
    ASSERT_NO_FATAL_FAILURE(Open(server));
    constexpr int FRAMES = 200;
    constexpr double SLOWEST_FRAME = 0.1;

    // Open, with nothing arriving, and then connecting to a server that
    // takes the connection but never answers its handshake.
    for (bool frozen : {false, true}) {
        if (frozen) {
            server.Signal(SIGSTOP);
            ASSERT_TRUE(hge->Net_Connect(server.Url().c_str()));
        }
        int frames = 0;
        double slowest = 0.0;
        Clock::time_point last = Clock::now();
        RunFramesUntil([&] {
            slowest = std::max(slowest, SecondsSince(last));
            last = Clock::now();
            return ++frames == FRAMES;
        });
        EXPECT_EQ(frames, FRAMES);
        EXPECT_LT(slowest, SLOWEST_FRAME) << (frozen ? "connecting" : "open");
        EXPECT_EQ(hge->Net_GetState(), frozen ? HGENET_CONNECTING : HGENET_OPEN);
    }
    server.Signal(SIGCONT);
}

TEST_F(Network, AServerGoingAwayEndsTheConnectionWithWordsForThePlayer)
{
    TestServer &server = StartServer();
    ASSERT_NO_FATAL_FAILURE(Open(server));

    // A clean close with a reason; what came before it can still be read.
    hge->Net_Send("last words");
    hge->Net_Send("!close see you");
    std::vector<std::string> got = Receive(1);
    ASSERT_TRUE(RunUntilState(HGENET_CLOSED));
    while (const char *text = hge->Net_Receive())
        got.push_back(text);
    EXPECT_EQ(got, (std::vector<std::string>{"last words"}));
    EXPECT_EQ(Error(), "the relay closed the connection: see you");
    EXPECT_TRUE(Logged("network: the relay closed the connection: see you"));
    EXPECT_TRUE(server.Says("closed 1000"));
    // Nothing to send on: dropped with a word in the log.
    hge->Net_Send("anyone?");
    EXPECT_TRUE(Logged("not connected"));
    EXPECT_EQ(hge->Net_Receive(), nullptr);

    // The server killed outright: the connection is lost, not closed.
    ASSERT_NO_FATAL_FAILURE(Open(server));
    server.Signal(SIGKILL);
    EXPECT_TRUE(RunUntilState(HGENET_FAILED));
    EXPECT_EQ(Error(), "the connection was lost");

    // A server shutting down closes as a server going away does; the engine
    // connects again afterwards as if nothing had happened.
    TestServer &next = StartServer();
    ASSERT_NO_FATAL_FAILURE(Open(next));
    hge->Net_Send("still here");
    EXPECT_EQ(Receive(1), (std::vector<std::string>{"still here"}));
    next.Signal(SIGTERM);
    EXPECT_TRUE(RunUntilState(HGENET_CLOSED));
    EXPECT_EQ(Error(), "the relay closed the connection");
}

TEST_F(Network, AddressesThatCannotBeReadFailAtOnceAndUnreachableOnesWithWhy)
{
    TestServer &server = StartServer();
    ASSERT_NO_FATAL_FAILURE(Open(server));
    const std::string port = std::to_string(server.Port());
    const std::vector<std::string> unreadable = {
        "",
        "127.0.0.1:" + port,
        "http://127.0.0.1:" + port + "/",
        "ws://",
        "ws://127.0.0.1:99999/",
        "ws://127.0.0.1:" + port + "/#part",
        "ws://player@127.0.0.1:" + port + "/",
        "ws://127.0.0.1:" + port + "/a room",
    };
    for (const std::string &url : unreadable) {
        EXPECT_FALSE(hge->Net_Connect(url.c_str())) << url;
        EXPECT_EQ(hge->Net_GetState(), HGENET_FAILED) << url;
        EXPECT_NE(Error().find("address"), std::string::npos) << url << ": " << Error();
        EXPECT_TRUE(Logged("network: " + Error())) << url;
    }
    // The first of them closed the connection that was open, over the next frames.
    RunFramesUntil([] { return false; }, 0.5);
    EXPECT_TRUE(server.Says("closed 1000"));

    // A port where nobody listens: bound, so that no one else takes it.
    const int socket_fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in bound{};
    bound.sin_family = AF_INET;
    bound.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof bound;
    ASSERT_EQ(bind(socket_fd, reinterpret_cast<sockaddr *>(&bound), sizeof bound), 0);
    ASSERT_EQ(getsockname(socket_fd, reinterpret_cast<sockaddr *>(&bound), &length), 0);
    const std::string nobody = "ws://127.0.0.1:" + std::to_string(ntohs(bound.sin_port)) + "/";
    ASSERT_TRUE(hge->Net_Connect(nobody.c_str()));
    EXPECT_TRUE(RunUntilState(HGENET_FAILED));
    EXPECT_EQ(Error(), "the relay cannot be reached: Connection refused");
    close(socket_fd);

    // A server that answers, but not with a WebSocket.
    ASSERT_TRUE(hge->Net_Connect(server.Url("/refuse").c_str()));
    EXPECT_TRUE(RunUntilState(HGENET_FAILED));
    EXPECT_EQ(Error(), "the relay refused the connection (HTTP 403 Forbidden)");
}

TEST_F(Network, MessagesOverTheLimitAreRefusedBothWays)
{
    TestServer &server = StartServer();
    ASSERT_NO_FATAL_FAILURE(Open(server));

    hge->Net_Send(("!send " + std::to_string(HGENET_MAX_MESSAGE)).c_str());
    std::vector<std::string> got = Receive(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], std::string(HGENET_MAX_MESSAGE, 'x'));

    // Too long to send: dropped here, never reaching the server.
    hge->Net_Send(std::string(HGENET_MAX_MESSAGE + 1, 'y').c_str());
    EXPECT_TRUE(Logged("over the limit"));
    // A binary message is no text for the game.
    hge->Net_Send("!binary");
    hge->Net_Send("after");
    EXPECT_EQ(Receive(1), (std::vector<std::string>{"after"}));
    EXPECT_TRUE(Logged("binary message"));
    EXPECT_EQ(server.NextLine(), "received !send " + std::to_string(HGENET_MAX_MESSAGE));
    EXPECT_EQ(server.NextLine(), "received !binary");
    EXPECT_EQ(server.NextLine(), "received after");

    // Too long to receive: the connection fails.
    hge->Net_Send(("!send " + std::to_string(HGENET_MAX_MESSAGE + 1)).c_str());
    EXPECT_TRUE(RunUntilState(HGENET_FAILED));
    EXPECT_EQ(Error(), "the relay sent a message over the limit of 65536 bytes");
    EXPECT_EQ(hge->Net_Receive(), nullptr);
}

// A certificate authority of the test's own and a server certificate it
// signed, for `names` (an openssl subjectAltName list); false when openssl fails.
bool MakeCertificates(const std::string &dir, const std::string &names)
{
    const std::string quiet = " >/dev/null 2>&1";
    const std::string key = " -newkey rsa:2048 -nodes";
    return std::system(("openssl req -x509" + key + " -keyout '" + dir + "/ca.key' -out '" + dir +
                        "/ca.pem' -days 2 -subj '/CN=TORVEK test authority'" + quiet)
                           .c_str()) == 0 &&
           std::system(("openssl req" + key + " -keyout '" + dir + "/server.key' -out '" + dir +
                        "/server.csr' -subj '/CN=TORVEK test relay'" + quiet)
                           .c_str()) == 0 &&
           std::system(("printf 'subjectAltName=" + names + "\\n' > '" + dir + "/names.cnf' && "
                        "openssl x509 -req -in '" + dir + "/server.csr' -CA '" + dir + "/ca.pem' -CAkey '" + dir +
                        "/ca.key' -CAcreateserial -days 2 -extfile '" + dir + "/names.cnf' -out '" + dir +
                        "/server.pem'" + quiet)
                           .c_str()) == 0;
}

TEST_F(Network, SecureConnectionsTrustOnlyTheSystemsAndTheGivenAuthorities)
{
    const std::string dir = torvek_test::ScratchDir();
    ASSERT_TRUE(MakeCertificates(dir, "IP:127.0.0.1"));
    TestServer &server = StartServer({"--cert", dir + "/server.pem", "--key", dir + "/server.key"});
    ASSERT_NE(server.Port(), 0);
    const std::string url = server.Url("/secure", "wss");

    // Signed by an authority the system does not know.
    ASSERT_TRUE(hge->Net_Connect(url.c_str()));
    EXPECT_TRUE(RunUntilState(HGENET_FAILED));
    EXPECT_EQ(Error(), "the certificate could not be verified: unable to get local issuer certificate");
    EXPECT_TRUE(Logged("network: the certificate could not be verified"));

    EXPECT_FALSE(hge->Net_SetCertificates((dir + "/missing.pem").c_str()));
    EXPECT_TRUE(Logged("missing.pem cannot be read"));
    torvek_test::WriteFile(dir + "/garbled.pem", "-----BEGIN CERTIFICATE-----\nnot one\n");
    EXPECT_FALSE(hge->Net_SetCertificates((dir + "/garbled.pem").c_str()));
    EXPECT_TRUE(Logged("garbled.pem holds no certificate"));
    ASSERT_TRUE(hge->Net_SetCertificates((dir + "/ca.pem").c_str()));
    ASSERT_TRUE(hge->Net_Connect(url.c_str()));
    ASSERT_TRUE(RunUntilState(HGENET_OPEN)) << Error();
    hge->Net_Send("over TLS");
    EXPECT_EQ(Receive(1), (std::vector<std::string>{"over TLS"}));
    // Plain ws:// to a server that speaks only TLS fails as well.
    ASSERT_TRUE(hge->Net_Connect(server.Url("/secure", "ws").c_str()));
    EXPECT_TRUE(RunUntilState(HGENET_FAILED));

    // A certificate from the trusted authority, but for another name.
    const std::string other_dir = dir + "/other";
    std::filesystem::create_directories(other_dir);
    ASSERT_TRUE(MakeCertificates(other_dir, "DNS:localhost"));
    TestServer &other = StartServer({"--cert", other_dir + "/server.pem", "--key", other_dir + "/server.key"});
    ASSERT_TRUE(hge->Net_SetCertificates((other_dir + "/ca.pem").c_str()));
    ASSERT_TRUE(hge->Net_Connect(other.Url("/", "wss").c_str()));
    EXPECT_TRUE(RunUntilState(HGENET_FAILED));
    EXPECT_EQ(Error(), "the certificate could not be verified: IP address mismatch");
}

TEST_F(Network, AConnectionThatStopsAnsweringIsFoundLostWithinTheHeartbeat)
{
    TestServer &server = StartServer();
    ASSERT_NO_FATAL_FAILURE(Open(server));
    server.Signal(SIGSTOP);
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(RunUntilState(HGENET_FAILED, HEARTBEAT_SECONDS));
    EXPECT_EQ(Error(), "the connection was lost: the relay stopped answering");
    EXPECT_GT(SecondsSince(start), 4.0);  // not before the ping was given time
    server.Signal(SIGCONT);
}

TEST_F(Network, CloseConnectAgainAndShutdownSendWhatIsQueuedAndCloseCleanly)
{
    TestServer &server = StartServer();
    ASSERT_NO_FATAL_FAILURE(Open(server, "/a"));
    hge->Net_Send("one");
    hge->Net_Send("two");
    hge->Net_Close();
    EXPECT_EQ(hge->Net_GetState(), HGENET_CLOSED);
    EXPECT_EQ(Error(), "the connection was closed");
    // The close goes on over the next frames, however slow the machine.
    std::vector<std::string> heard;
    for (int chunk = 0; chunk < 20 && (heard.empty() || heard.back() != "closed 1000"); ++chunk) {
        RunFramesUntil([] { return false; }, 0.25);
        for (std::string line; !(line = server.NextLine(0.05)).empty();)
            heard.push_back(line);
    }
    EXPECT_EQ(heard, (std::vector<std::string>{"received one", "received two", "closed 1000"}));
    EXPECT_EQ(hge->Net_Receive(), nullptr);

    // A new connection closes the one before.
    ASSERT_NO_FATAL_FAILURE(Open(server, "/b"));
    hge->Net_Send("bye from b");
    ASSERT_TRUE(hge->Net_Connect(server.Url("/c").c_str()));
    EXPECT_TRUE(RunUntilState(HGENET_OPEN));
    std::vector<std::string> said;
    while (said.size() < 3) {
        said.push_back(server.NextLine());
        if (said.back().empty())
            break;
    }
    std::sort(said.begin(), said.end());
    EXPECT_EQ(said, (std::vector<std::string>{"closed 1000", "open /c", "received bye from b"}));

    // Shutting the engine down closes cleanly too, before it returns.
    hge->Net_Send("last");
    hge->System_Shutdown();
    EXPECT_EQ(hge->Net_GetState(), HGENET_CLOSED);
    EXPECT_TRUE(server.Says("received last"));
    EXPECT_EQ(server.NextLine(), "closed 1000");
}

}  // namespace
