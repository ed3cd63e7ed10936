// The network on Windows: Windows' own WebSocket client in WinHTTP, with
// Windows' TLS and its certificate store. The authorities of a --ca file
// are kept in a store in memory: a server whose chain ends at one of them
// is checked once more by Windows' own SSL policy (name, dates, usage)
// before anything is sent on the connection.
//
// WinHTTP's calls wait, so each connection has two threads of its own: one
// connects and then receives, the other sends what the game queued and, once
// asked, starts the close. They hand their events to the game's thread under
// the connection's lock, and Read takes them at the start of a frame. A
// connection the game is done with finishes its close by itself and is
// joined once it has. WinHTTP answers the server's pings itself; a dead
// connection is found only when Windows' own TCP gives up on it, unless the
// server closes it first.
#define DWORD WIN32_DWORD
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>
#undef DWORD

#include "hge_net.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <mutex>
#include <thread>

#include "hge.h"

static constexpr int TIMEOUT_MS = 10000;
static constexpr auto STOP_WAIT = std::chrono::seconds(1);
static constexpr WIN32_DWORD SWITCHING_PROTOCOLS = 101;
static constexpr size_t RECEIVE_CHUNK = 4096;
static constexpr size_t LARGEST_CLOSE_REASON = WINHTTP_WEB_SOCKET_MAX_CLOSE_REASON_LENGTH;
static const wchar_t USER_AGENT[] = L"TORVEK";

// ---------------------------------------------------------------- text

static std::wstring Wide(const std::string &utf8)
{
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(std::max(length, 0)), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

// ---------------------------------------------------------------- the address

namespace {

struct Address {
    bool secure = false;
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring target;  // the path and query
};

}  // namespace

// The scheme's length ("ws" or "wss") before "://", or 0 for any other.
static size_t WebSocketScheme(const std::string &url, bool *secure)
{
    const size_t colon = url.find("://");
    std::string scheme = url.substr(0, colon == std::string::npos ? 0 : colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return std::tolower(c); });
    *secure = scheme == "wss";
    return *secure || scheme == "ws" ? scheme.size() : 0;
}

// WinHTTP reads http:// and https:// addresses, whose parts are those of ws:// and wss://.
static std::string ReadAddress(const std::string &url, Address &address)
{
    const size_t scheme = WebSocketScheme(url, &address.secure);
    if (scheme == 0)
        return "is not a ws:// or wss:// address";
    const std::wstring http = Wide((address.secure ? "https" : "http") + url.substr(scheme));
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<WIN32_DWORD>(-1);
    parts.dwUrlPathLength = static_cast<WIN32_DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<WIN32_DWORD>(-1);
    parts.dwUserNameLength = static_cast<WIN32_DWORD>(-1);
    if (!WinHttpCrackUrl(http.c_str(), static_cast<WIN32_DWORD>(http.size()), 0, &parts))
        return "cannot be read";
    if (parts.dwHostNameLength == 0)
        return "names no host";
    if (parts.dwUserNameLength > 0)
        return "has a user name, which is not supported";
    const std::wstring extra(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (extra.find(L'#') != std::wstring::npos)
        return "has a fragment (#), which a WebSocket address may not";
    address.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    address.port = parts.nPort;
    address.target.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (address.target.empty())
        address.target = L"/";
    address.target += extra;
    return "";
}

// ---------------------------------------------------------------- authorities

static const char PEM_BEGIN[] = "-----BEGIN CERTIFICATE-----";
static const char PEM_END[] = "-----END CERTIFICATE-----";

namespace {

// The authorities of one --ca file, in a certificate store in memory.
struct Authorities {
    HCERTSTORE store = nullptr;
    int count = 0;
    Authorities() = default;
    Authorities(const Authorities &) = delete;
    Authorities &operator=(const Authorities &) = delete;
    ~Authorities()
    {
        if (store)
            CertCloseStore(store, 0);
    }
};

}  // namespace

// Reads every certificate of a PEM file; the words of the fault, or "".
static std::string LoadAuthorities(const std::string &file, Authorities &into)
{
    std::ifstream in(std::filesystem::path(std::u8string(file.begin(), file.end())), std::ios::binary);
    if (!in)
        return "the authorities in \"" + file + "\" cannot be read";
    std::ostringstream read;
    read << in.rdbuf();
    const std::string text = read.str();
    into.store = CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
    if (!into.store)
        return "no certificate store could be made";
    for (size_t begin = text.find(PEM_BEGIN); begin != std::string::npos; begin = text.find(PEM_BEGIN, begin + 1)) {
        const size_t end = text.find(PEM_END, begin);
        if (end == std::string::npos)
            break;
        const std::string block = text.substr(begin, end + sizeof PEM_END - 1 - begin);
        WIN32_DWORD size = 0;
        if (!CryptStringToBinaryA(block.data(), static_cast<WIN32_DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                                  nullptr, &size, nullptr, nullptr))
            continue;
        std::vector<BYTE> der(size);
        if (CryptStringToBinaryA(block.data(), static_cast<WIN32_DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                                 der.data(), &size, nullptr, nullptr) &&
            CertAddEncodedCertificateToStore(into.store, X509_ASN_ENCODING, der.data(), size,
                                             CERT_STORE_ADD_ALWAYS, nullptr))
            ++into.count;
    }
    if (into.count == 0)
        return "\"" + file + "\" holds no certificate Windows can read";
    return "";
}

// Whether the last certificate of the chain is one of the authorities.
static bool EndsAtOneOf(PCCERT_CHAIN_CONTEXT chain, HCERTSTORE authorities)
{
    if (chain->cChain == 0 || chain->rgpChain[0]->cElement == 0)
        return false;
    const CERT_SIMPLE_CHAIN *simple = chain->rgpChain[0];
    PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
    PCCERT_CONTEXT found = CertFindCertificateInStore(authorities, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, root,
                                                      nullptr);
    if (found)
        CertFreeCertificateContext(found);
    return found != nullptr;
}

// The server's certificate, once the handshake is over, against Windows'
// store and the --ca authorities, for the host asked for.
static bool ServerTrusted(HINTERNET request, HCERTSTORE authorities, const std::wstring &host)
{
    PCCERT_CONTEXT server = nullptr;
    WIN32_DWORD size = sizeof server;
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &server, &size) || !server)
        return false;
    CERT_CHAIN_PARA chain_para{};
    chain_para.cbSize = sizeof chain_para;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    bool trusted = false;
    if (CertGetCertificateChain(nullptr, server, nullptr, authorities, &chain_para, 0, nullptr, &chain)) {
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
        ssl.cbSize = sizeof ssl;
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.pwszServerName = const_cast<wchar_t *>(host.c_str());
        CERT_CHAIN_POLICY_PARA policy{};
        policy.cbSize = sizeof policy;
        policy.pvExtraPolicyPara = &ssl;
        // An authority of the file is no authority of Windows' store.
        if (EndsAtOneOf(chain, authorities))
            policy.dwFlags = CERT_CHAIN_POLICY_ALLOW_UNKNOWN_CA_FLAG;
        CERT_CHAIN_POLICY_STATUS status{};
        status.cbSize = sizeof status;
        trusted = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) &&
                  status.dwError == 0;
        CertFreeCertificateChain(chain);
    }
    CertFreeCertificateContext(server);
    return trusted;
}

// ---------------------------------------------------------------- the words

static std::string Unreachable(WIN32_DWORD error)
{
    switch (error) {
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return "the relay cannot be reached: its name is not known";
    case ERROR_WINHTTP_CANNOT_CONNECT: return "the relay cannot be reached: Connection refused";
    case ERROR_WINHTTP_TIMEOUT: return "the relay cannot be reached: no answer in 10 s";
    case ERROR_WINHTTP_SECURE_FAILURE: return "the certificate could not be verified";
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR: return "the secure connection could not be made (TLS)";
    default: return "the relay cannot be reached (WinHTTP error " + std::to_string(error) + ")";
    }
}

// ---------------------------------------------------------------- a connection

namespace {

class Link {
public:
    Link(Address address, std::unique_ptr<Authorities> authorities)
        : address(std::move(address)), authorities(std::move(authorities))
    {
    }

    void Start()
    {
        receiver = std::thread([this] { Run(); });
    }

    void Send(std::string text)
    {
        std::lock_guard<std::mutex> hold(lock);
        outgoing.push_back(std::move(text));
        wake.notify_all();
    }

    // Sends what is queued, then closes cleanly; reports nothing from then on.
    void Close()
    {
        std::lock_guard<std::mutex> hold(lock);
        closing = true;
        events.clear();
        wake.notify_all();
        // Before it is open there is nothing to close cleanly: a connect under
        // way is cut short.
        if (!open)
            CloseHandles();
    }

    void TakeEvents(std::vector<NetEvent> &into)
    {
        std::lock_guard<std::mutex> hold(lock);
        std::move(events.begin(), events.end(), std::back_inserter(into));
        events.clear();
    }

    bool WaitUntilFinished(std::chrono::steady_clock::time_point until)
    {
        std::unique_lock<std::mutex> hold(lock);
        return wake.wait_until(hold, until, [this] { return finished; });
    }

    // Cuts whatever WinHTTP still waits for, then waits for the threads.
    void Join()
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            CloseHandles();
        }
        if (receiver.joinable())
            receiver.join();
    }

    bool Finished()
    {
        std::lock_guard<std::mutex> hold(lock);
        return finished;
    }

private:
    // Under the lock.
    void Report(NetEvent::Kind kind, std::string text = "", bool failed = false)
    {
        if (closing || ended)
            return;
        ended = kind == NetEvent::Kind::Ended;
        events.push_back({kind, std::move(text), failed});
    }

    void ReportLocked(NetEvent::Kind kind, std::string text = "", bool failed = false)
    {
        std::lock_guard<std::mutex> hold(lock);
        Report(kind, std::move(text), failed);
    }

    // Under the lock; each handle once.
    void CloseHandles()
    {
        for (HINTERNET *handle : {&socket, &request, &connection, &session}) {
            if (*handle)
                WinHttpCloseHandle(*handle);
            *handle = nullptr;
        }
    }

    void Run()
    {
        const std::string fault = Connect();
        if (fault.empty()) {
            {
                std::lock_guard<std::mutex> hold(lock);
                open = true;
                Report(NetEvent::Kind::Opened);
            }
            std::thread sender([this] { SendQueued(); });
            ReceiveMessages();
            {
                std::lock_guard<std::mutex> hold(lock);
                ended = true;
                wake.notify_all();
            }
            sender.join();
        } else {
            ReportLocked(NetEvent::Kind::Ended, fault, true);
        }
        std::lock_guard<std::mutex> hold(lock);
        CloseHandles();
        finished = true;
        wake.notify_all();
    }

    // The handles are made under the lock, so that Close may cut them.
    HINTERNET Made(HINTERNET *slot, HINTERNET handle)
    {
        std::lock_guard<std::mutex> hold(lock);
        if (closing) {
            if (handle)
                WinHttpCloseHandle(handle);
            return nullptr;
        }
        *slot = handle;
        return handle;
    }

    std::string Connect()
    {
        HINTERNET opened = WinHttpOpen(USER_AGENT, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0);
        // Before Windows 8.1 there is no automatic proxy.
        if (!opened)
            opened = WinHttpOpen(USER_AGENT, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0);
        HINTERNET me = Made(&session, opened);
        if (!me)
            return Unreachable(GetLastError());
        WinHttpSetTimeouts(me, TIMEOUT_MS, TIMEOUT_MS, TIMEOUT_MS, TIMEOUT_MS);
        HINTERNET to = Made(&connection, WinHttpConnect(me, address.host.c_str(), address.port, 0));
        if (!to)
            return Unreachable(GetLastError());
        HINTERNET asking = Made(&request, WinHttpOpenRequest(to, L"GET", address.target.c_str(), nullptr,
                                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                             address.secure ? WINHTTP_FLAG_SECURE : 0));
        if (!asking || !WinHttpSetOption(asking, WINHTTP_OPTION_UPGRADE_TO_WEB_SOCKET, nullptr, 0))
            return Unreachable(GetLastError());
        // With authorities of its own the chain is checked here, after the handshake.
        WIN32_DWORD unknown_authority = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
        if (address.secure && authorities &&
            !WinHttpSetOption(asking, WINHTTP_OPTION_SECURITY_FLAGS, &unknown_authority, sizeof unknown_authority))
            return Unreachable(GetLastError());
        if (!WinHttpSendRequest(asking, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
            !WinHttpReceiveResponse(asking, nullptr))
            return Unreachable(GetLastError());
        if (address.secure && authorities && !ServerTrusted(asking, authorities->store, address.host))
            return Unreachable(ERROR_WINHTTP_SECURE_FAILURE);
        WIN32_DWORD status = 0;
        WIN32_DWORD size = sizeof status;
        WinHttpQueryHeaders(asking, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                            &status, &size, WINHTTP_NO_HEADER_INDEX);
        if (status != SWITCHING_PROTOCOLS)
            return "the relay refused the connection (HTTP " + std::to_string(status) + ")";
        if (!Made(&socket, WinHttpWebSocketCompleteUpgrade(asking, 0)))
            return "the relay did not answer as a WebSocket server";
        return "";
    }

    void SendQueued()
    {
        std::unique_lock<std::mutex> hold(lock);
        for (;;) {
            wake.wait(hold, [this] { return !outgoing.empty() || closing || ended; });
            if (ended)
                return;
            if (outgoing.empty()) {
                HINTERNET to = socket;
                hold.unlock();
                WinHttpWebSocketShutdown(to, WINHTTP_WEB_SOCKET_SUCCESS_CLOSE_STATUS, nullptr, 0);
                return;
            }
            std::string text = std::move(outgoing.front());
            outgoing.pop_front();
            HINTERNET to = socket;
            hold.unlock();
            WinHttpWebSocketSend(to, WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE, text.empty() ? nullptr : text.data(),
                                 static_cast<WIN32_DWORD>(text.size()));
            hold.lock();
        }
    }

    // Binary messages are no text for the game: dropped.
    void ReceiveMessages()
    {
        HINTERNET from = nullptr;
        {
            std::lock_guard<std::mutex> hold(lock);
            from = socket;
        }
        std::string message;
        char chunk[RECEIVE_CHUNK];
        for (;;) {
            WIN32_DWORD got = 0;
            WINHTTP_WEB_SOCKET_BUFFER_TYPE type;
            if (WinHttpWebSocketReceive(from, chunk, sizeof chunk, &got, &type) != NO_ERROR)
                return ReportLocked(NetEvent::Kind::Ended, "the connection was lost", true);
            if (type == WINHTTP_WEB_SOCKET_CLOSE_BUFFER_TYPE)
                return ClosedByRelay(from);
            const bool text = type == WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE ||
                              type == WINHTTP_WEB_SOCKET_UTF8_FRAGMENT_BUFFER_TYPE;
            if (text)
                message.append(chunk, got);
            if (message.size() > HGENET_MAX_MESSAGE) {
                ReportLocked(NetEvent::Kind::Ended,
                             "the relay sent a message over the limit of " + std::to_string(HGENET_MAX_MESSAGE) +
                                 " bytes",
                             true);
                WinHttpWebSocketClose(from, WINHTTP_WEB_SOCKET_MESSAGE_TOO_BIG_CLOSE_STATUS, nullptr, 0);
                return;
            }
            if (type == WINHTTP_WEB_SOCKET_UTF8_MESSAGE_BUFFER_TYPE) {
                ReportLocked(NetEvent::Kind::Message, std::move(message));
                message.clear();
            }
        }
    }

    void ClosedByRelay(HINTERNET from)
    {
        USHORT code = 0;
        char reason[LARGEST_CLOSE_REASON + 1] = {};
        WIN32_DWORD length = 0;
        WinHttpWebSocketQueryCloseStatus(from, &code, reason, LARGEST_CLOSE_REASON, &length);
        // Answers the relay's close (or, after ours, returns at once).
        WinHttpWebSocketClose(from, WINHTTP_WEB_SOCKET_SUCCESS_CLOSE_STATUS, nullptr, 0);
        std::string words = "the relay closed the connection";
        if (length > 0)
            words += ": " + std::string(reason, length);
        ReportLocked(NetEvent::Kind::Ended, words);
    }

    Address address;
    std::unique_ptr<Authorities> authorities;  // null: Windows' store alone
    std::thread receiver;
    std::mutex lock;
    std::condition_variable wake;
    // Below: under the lock.
    HINTERNET session = nullptr;
    HINTERNET connection = nullptr;
    HINTERNET request = nullptr;
    HINTERNET socket = nullptr;
    std::deque<std::string> outgoing;
    std::vector<NetEvent> events;  // not yet read by the engine
    bool open = false;
    bool closing = false;   // the engine is done with it
    bool ended = false;     // its end was reported, or it is over
    bool finished = false;  // its threads are done
};

}  // namespace

static std::unique_ptr<Link> current;
// Connections the game is done with, until their threads end.
static std::vector<std::unique_ptr<Link>> retired;

static void JoinFinished()
{
    for (auto link = retired.begin(); link != retired.end();) {
        if ((*link)->Finished()) {
            (*link)->Join();
            link = retired.erase(link);
        } else {
            ++link;
        }
    }
}

static void DropCurrent()
{
    if (!current)
        return;
    current->Close();
    retired.push_back(std::move(current));
}

static bool Open(const std::string &url, const std::string &ca_file, std::string *why)
{
    Address address;
    const std::string fault = ReadAddress(url, address);
    if (!fault.empty()) {
        *why = "the address \"" + url + "\" " + fault;
        return false;
    }
    std::unique_ptr<Authorities> authorities;
    if (!ca_file.empty()) {
        authorities = std::make_unique<Authorities>();
        *why = LoadAuthorities(ca_file, *authorities);
        if (!why->empty())
            return false;
    }
    DropCurrent();
    current = std::make_unique<Link>(std::move(address), std::move(authorities));
    current->Start();
    return true;
}

static void Send(const std::string &text)
{
    if (current)
        current->Send(text);
}

static void Read(std::vector<NetEvent> &events)
{
    JoinFinished();
    if (current)
        current->TakeEvents(events);
}

static void Stop()
{
    DropCurrent();
    const auto until = std::chrono::steady_clock::now() + STOP_WAIT;
    for (std::unique_ptr<Link> &link : retired) {
        link->WaitUntilFinished(until);
        link->Join();
    }
    retired.clear();
}

static bool CanTrust(const std::string &file, std::string *why)
{
    Authorities authorities;
    *why = LoadAuthorities(file, authorities);
    return why->empty();
}

static const NetPlatform winhttp_network = {
    .Open = Open,
    .Send = Send,
    .Read = Read,
    .Close = DropCurrent,
    .Stop = Stop,
    .CanTrust = CanTrust,
};

const NetPlatform *WinHttpNetwork()
{
    return &winhttp_network;
}
