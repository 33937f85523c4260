// The update check on loopback against peers that misbehave, plus the request
// and reply rules on bytes. (Our update server answers under Wine.)
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "framework/socket.h"
#include "frontend/update/update_check.h"

namespace {

using frontend::CheckForUpdate;
using frontend::UpdateCheckResult;

constexpr uint32_t kFrontend = 20051018;
const std::string kHeader = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";

// The request to `authority` carrying the two versions as "pppppppp; Frontend ffffffff".
std::string requestTo(const std::string& authority, const std::string& versions) {
    return "GET /cgi-bin/ver/ver.cgi HTTP/1.1\nReferer: http://" + authority + "/\nHost: " + authority +
           "\nUser-Agent: Tessaryn/1.0(" + versions + ")\nConnection: Keep-Alive\n\n";
}

// "error: newest packer,newest frontend"
std::string described(const UpdateCheckResult& r) {
    return std::to_string(static_cast<long>(r.error)) + ": " + std::to_string(r.newestPacker) + "," + std::to_string(r.newestFrontend);
}

TEST(UpdateServerSetting, HostAndPortAndTheRequestToThem) {
    const std::string longest(255, 'a');
    const std::vector<std::pair<std::string, std::string>> rows = {  // the setting, "host:port" taken or "" refused
        {"update.example", "update.example:80"}, {"127.0.0.1:8080", "127.0.0.1:8080"}, {"h:65535", "h:65535"},
        {longest, longest + ":80"}, {longest + "a", ""}, {longest + "a:80", ""}, {"", ""}, {":8080", ""}, {"h:", ""},
        {"h:0", ""}, {"h:65536", ""}, {"h:80x", ""}, {"h:-1", ""},
    };
    for (const auto& [setting, taken] : rows) {
        frontend::UpdateServer server;
        const bool ok = frontend::ParseUpdateServer(setting, server);
        EXPECT_EQ(ok ? server.host + ":" + std::to_string(server.port) : "", taken) << setting;
    }
    setenv("TESSARYN_UPDATE_SERVER", "", 1);
    EXPECT_NE(frontend::UpdateServerSetting(), "") << "empty: the host compiled in";
    unsetenv("TESSARYN_UPDATE_SERVER");
    EXPECT_EQ(frontend::BuildUpdateRequest({"update.example", 80}, 0, kFrontend),
              requestTo("update.example", "00000000; Frontend 20051018")) << "port 80 left out of the request";
}

TEST(UpdateReply, ParsedFromBytes) {
    struct Row { const char* what; std::string reply; const char* result; bool complete; };  // the versions were 1 and 2
    const std::vector<Row> rows = {
        {"body of eight ! after a CR LF header", kHeader + "!!!!!!!!20051110,20051018\r\n", "0: 20051110,20051018", true},
        {"LF-only header, the last digit last", "HTTP/1.1 200 OK\n\n!!!!!!!!20051110,20051018", "0: 20051110,20051018", false},
        {"seven ! then numbers on their own lines", kHeader + "!!!!!!!\r\n20051110\r\n20051018\r\n", "0: 20051110,20051018", true},
        {"the same cut 18 bytes after the marker", kHeader + "!!!!!!!\r\n20051110\r\n200510", "0: 20051110,200510", false},
        {"chunk-size line before the marker", kHeader + "1a\r\n!!!!!!!!20051110,20051018\r\n0\r\n\r\n", "0: 20051110,20051018", true},
        {"text on the marker's line", kHeader + "versions:!!!!!!!!20051110,20051018 ", "0: 20051110,20051018", true},
        {"a sign, then no digit", kHeader + "!!!!!!!!-x       +", "0: 0,0", false},
        {"the frontend's number cut short", kHeader + "!!!!!!!!20051110,2005", "0: 20051110,2005", false},
        {"no byte after the marker", kHeader + "!!!!!!!", "3: 1,2", false},
        {"a short run", kHeader + "!!!!!!20051110,20051018", "3: 1,2", false},
        {"no marker", kHeader + "20051110,20051018", "3: 1,2", false},
        {"no empty line", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n!!!!!!!!20051110,20051018", "2: 1,2", false},
        {"nothing", "", "2: 1,2", false},
        {"an error page", "HTTP/1.1 404 Not Found\r\n\r\n<html>gone</html>", "3: 1,2", false},
    };
    const auto parsed = [](const std::string& reply, std::size_t size) {
        UpdateCheckResult result{frontend::UpdateError::None, 1, 2};
        result.error = frontend::ParseUpdateReply(reply.data(), size, result);
        return described(result);
    };
    for (const Row& row : rows) {
        EXPECT_EQ(parsed(row.reply, row.reply.size()), row.result) << row.what;
        EXPECT_EQ(frontend::UpdateReplyIsComplete(row.reply.data(), row.reply.size()), row.complete) << row.what;
        // The reading stops at any piece that reads complete: the rest must change nothing.
        for (std::size_t size = 0; size < row.reply.size(); ++size) {
            if (!frontend::UpdateReplyIsComplete(row.reply.data(), size)) continue;
            EXPECT_EQ(parsed(row.reply, size), row.result) << row.what << ", cut at " << size;
        }
    }
}

// A socket listening on a loopback port of the system's choosing, written to
// `port` (0 on failure). Its accept gives up after 5 s.
int listenOnLoopback(uint16_t& port) {
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    const timeval wait{5, 0};
    const bool bound = bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(listener, 1) == 0 &&
                       getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
                       setsockopt(listener, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) == 0;
    port = bound ? ntohs(address.sin_port) : 0;
    return listener;
}

// What a peer does after sending its parts; NoListener: nobody listens on the port.
enum class Then { Close, Wait, NoListener };

// A peer that takes one connection on `listener` and closes the listener, reads
// the request, sends `parts` (a pause between them), then closes at once or waits
// for the frontend to. Gives the request it read.
std::string serveOnce(int listener, const std::vector<std::string>& parts, Then then) {
    std::string request;
    const int peer = accept(listener, nullptr, nullptr);
    close(listener);
    if (peer < 0) return request;
    const timeval wait{5, 0};
    setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char buffer[4096];
    for (ssize_t got; request.find("\n\n") == std::string::npos && (got = recv(peer, buffer, sizeof buffer, 0)) > 0;)
        request.append(buffer, std::size_t(got));
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        send(peer, parts[i].data(), parts[i].size(), MSG_NOSIGNAL);
    }
    while (then == Then::Wait && recv(peer, buffer, sizeof buffer, 0) > 0) continue;
    close(peer);
    return request;
}

TEST(UpdateCheck, HostilePeers) {
    const std::string versions = "!!!!!!!!20051110,20051018\r\n";
    struct Row { const char* what; std::vector<std::string> parts; Then then; int timeout; const char* result; };
    const std::vector<Row> rows = {  // the versions were 1 and 2
        {"no listener", {}, Then::NoListener, 2000, "1: 1,2"},
        {"close without data", {}, Then::Close, 5000, "2: 1,2"},
        {"silent peer", {}, Then::Wait, 500, "2: 1,2"},
        {"a reply in three sends", {kHeader + "!!!", "!!!!!2005", "1110,20051018\r\n"}, Then::Wait, 5000, "0: 20051110,20051018"},
        {"header, then silence", {kHeader}, Then::Wait, 3000, "3: 1,2"},
        {"more than the buffer holds", {kHeader + std::string(5000, 'x') + versions}, Then::Wait, 5000, "3: 1,2"},
    };
    for (const Row& row : rows) {
        uint16_t port = 0;
        const int listener = listenOnLoopback(port);
        ASSERT_NE(port, 0) << row.what;
        std::future<std::string> request;
        if (row.then == Then::NoListener) close(listener);
        else request = std::async(std::launch::async, serveOnce, listener, row.parts, row.then);
        const std::string authority = "127.0.0.1:" + std::to_string(port);
        EXPECT_EQ(described(CheckForUpdate(authority, 1, 2, row.timeout)), row.result) << row.what;
        const std::string expected = row.then == Then::NoListener ? "" : requestTo(authority, "00000001; Frontend 00000002");
        EXPECT_EQ(request.valid() ? request.get() : "", expected) << row.what;
    }
    EXPECT_EQ(described(CheckForUpdate(std::string(256, 'a'), 1, 2)), "1: 1,2") << "a host name the check cannot take";
}

// The connection beneath: a send to a peer that has gone fails, and never
// raises SIGPIPE (its Winsock twins run in tests/framework/win32_sample).
TEST(TcpConnection, SendingToAPeerThatHasGoneFailsWithoutASignal) {
    uint16_t port = 0;
    const int listener = listenOnLoopback(port);
    framework::TcpConnection connection;
    ASSERT_TRUE(connection.connect("127.0.0.1", port, 5000));
    close(accept(listener, nullptr, nullptr));
    close(listener);
    const std::string block(65536, 'x');
    bool failed = false;
    for (int i = 0; i < 64 && !failed; ++i) failed = !connection.sendAll(block.data(), block.size(), 5000);
    EXPECT_TRUE(failed);  // and the process is still here
}

}  // namespace
