// The update check on loopback: against our update server (tools/update-server.py)
// and against peers that misbehave, plus the request and reply rules on bytes.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "frontend/editors/update_check.h"
#include "tests/frontend/update_server_process.h"

namespace {

using frontend::CheckForUpdate;
using frontend::UpdateCheckResult;

constexpr uint32_t kPacker = 20051110;
constexpr uint32_t kFrontend = 20051018;
const std::string kHeader = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";

std::string requestFor(uint16_t port, uint32_t packer, uint32_t frontend) {
    return frontend::BuildUpdateRequest({"127.0.0.1", port}, packer, frontend);
}

// ---- Request and reply rules, on bytes ----

TEST(UpdateServerSetting, HostAndPort) {
    struct Row { std::string text; bool ok; std::string host; uint16_t port; };
    const std::vector<Row> rows = {
        {"update.example", true, "update.example", 80},
        {"127.0.0.1:8080", true, "127.0.0.1", 8080},
        {"h:65535", true, "h", 65535},
        {std::string(255, 'a'), true, std::string(255, 'a'), 80},
        {std::string(256, 'a'), false, "", 0},
        {std::string(256, 'a') + ":80", false, "", 0},
        {"", false, "", 0},
        {":8080", false, "", 0},
        {"h:", false, "", 0},
        {"h:0", false, "", 0},
        {"h:65536", false, "", 0},
        {"h:80x", false, "", 0},
        {"h:-1", false, "", 0},
    };
    for (const Row& row : rows) {
        frontend::UpdateServer server;
        ASSERT_EQ(frontend::ParseUpdateServer(row.text, server), row.ok) << row.text;
        if (!row.ok) continue;
        EXPECT_EQ(server.host, row.host);
        EXPECT_EQ(server.port, row.port);
    }
}

TEST(UpdateRequest, BytesCarryPortOnlyWhenNot80) {
    EXPECT_EQ(frontend::BuildUpdateRequest({"update.example", 80}, 0, kFrontend),
              "GET /cgi-bin/ver/ver.cgi HTTP/1.1\n"
              "Referer: http://update.example/\n"
              "Host: update.example\n"
              "User-Agent: Tessaryn/1.0(00000000; Frontend 20051018)\n"
              "Connection: Keep-Alive\n"
              "\n");
    EXPECT_EQ(frontend::BuildUpdateRequest({"update.example", 8080}, kPacker, 7),
              "GET /cgi-bin/ver/ver.cgi HTTP/1.1\n"
              "Referer: http://update.example:8080/\n"
              "Host: update.example:8080\n"
              "User-Agent: Tessaryn/1.0(20051110; Frontend 00000007)\n"
              "Connection: Keep-Alive\n"
              "\n");
}

TEST(UpdateReply, ParsedFromBytes) {
    struct Row { const char* what; std::string reply; long error; uint32_t packer; uint32_t frontend; bool complete; };
    const std::vector<Row> rows = {
        {"body of eight ! after a CR LF header", kHeader + "!!!!!!!!20051110,20051018", 0, kPacker, kFrontend, true},
        {"LF-only header", "HTTP/1.1 200 OK\n\n!!!!!!!!20051110,20051018", 0, kPacker, kFrontend, true},
        {"seven ! then numbers on their own lines", kHeader + "!!!!!!!\r\n20051110\r\n20051018\r\n", 0, kPacker, kFrontend, true},
        {"chunk-size line before the marker", kHeader + "1a\r\n!!!!!!!!20051110,20051018\r\n0\r\n\r\n", 0, kPacker, kFrontend, true},
        {"text on the marker's line", kHeader + "versions:!!!!!!!!20051110,20051018", 0, kPacker, kFrontend, true},
        {"the frontend's number cut short", kHeader + "!!!!!!!!20051110,2005", 0, kPacker, 2005, false},
        {"no byte after the marker", kHeader + "!!!!!!!", 3, 1, 2, false},
        {"a short run", kHeader + "!!!!!!20051110,20051018", 3, 1, 2, false},
        {"no marker", kHeader + "20051110,20051018", 3, 1, 2, false},
        {"no empty line", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n!!!!!!!!20051110,20051018", 2, 1, 2, false},
        {"nothing", "", 2, 1, 2, false},
    };
    for (const Row& row : rows) {
        UpdateCheckResult result{0, 1, 2};
        EXPECT_EQ(frontend::ParseUpdateReply(row.reply.data(), row.reply.size(), result), row.error) << row.what;
        EXPECT_EQ(result.newestPacker, row.packer) << row.what;
        EXPECT_EQ(result.newestFrontend, row.frontend) << row.what;
        EXPECT_EQ(frontend::UpdateReplyIsComplete(row.reply.data(), row.reply.size()), row.complete) << row.what;
    }
}

TEST(UpdateCheck, OverlongHostNameIsError1) {
    const UpdateCheckResult result = CheckForUpdate(std::string(256, 'a'), kPacker, kFrontend, 300);
    EXPECT_EQ(result.error, 1);
    EXPECT_EQ(result.newestPacker, kPacker);
    EXPECT_EQ(result.newestFrontend, kFrontend);
}

// ---- Against our update server ----

TEST(UpdateCheck, AgainstOurServer) {
    struct Row { const char* what; std::string packer, frontend; uint32_t ownPacker, ownFrontend; };
    const std::vector<Row> rows = {
        {"equal versions", "20051110", "20051018", kPacker, kFrontend},
        {"both newer", "20060301", "20060215", kPacker, kFrontend},
        {"only the frontend newer", "20051110", "20051201", kPacker, kFrontend},
        {"packer not found", "20051110", "20051018", 0, kFrontend},
    };
    for (const Row& row : rows) {
        UpdateServerProcess server(row.packer, row.frontend);
        ASSERT_NE(server.port(), 0) << row.what << ": the server did not start";
        const std::string where = "127.0.0.1:" + std::to_string(server.port());
        const UpdateCheckResult result = CheckForUpdate(where, row.ownPacker, row.ownFrontend, 5000);
        EXPECT_EQ(result.error, 0) << row.what;
        EXPECT_EQ(result.newestPacker, std::stoul(row.packer)) << row.what;
        EXPECT_EQ(result.newestFrontend, std::stoul(row.frontend)) << row.what;
        char agent[80];
        std::snprintf(agent, sizeof agent, "User-Agent: Tessaryn/1.0(%08lu; Frontend %08lu)",
                      static_cast<unsigned long>(row.ownPacker), static_cast<unsigned long>(row.ownFrontend));
        EXPECT_NE(server.stop().find(agent), std::string::npos) << row.what << ": the server logs who asked";
    }
}

TEST(UpdateCheck, EnvironmentNamesTheServer) {
    UpdateServerProcess server("20060301", "20060215");
    ASSERT_NE(server.port(), 0);
    const std::string where = "127.0.0.1:" + std::to_string(server.port());
    setenv("TESSARYN_UPDATE_SERVER", where.c_str(), 1);
    EXPECT_EQ(frontend::UpdateServerSetting(), where);
    const UpdateCheckResult result = CheckForUpdate(kPacker, kFrontend);
    unsetenv("TESSARYN_UPDATE_SERVER");
    EXPECT_EQ(result.error, 0);
    EXPECT_EQ(result.newestPacker, 20060301u);
    EXPECT_EQ(result.newestFrontend, 20060215u);
    EXPECT_NE(frontend::UpdateServerSetting(), where);  // back to the host compiled in
}

// ---- Against peers that misbehave ----

// A loopback listener that takes one connection, reads the request, sends its
// parts (a pause between them), then closes at once or waits for the frontend to.
class Peer {
public:
    Peer(std::vector<std::string> parts, bool closeAtOnce) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 1) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this, parts, closeAtOnce] { serve(parts, closeAtOnce); });
    }
    ~Peer() {
        if (thread_.joinable()) thread_.join();
        close(listener_);
    }
    uint16_t port() const { return port_; }
    std::string request() {
        if (thread_.joinable()) thread_.join();
        return request_;
    }

private:
    void serve(const std::vector<std::string>& parts, bool closeAtOnce) {
        const int peer = accept(listener_, nullptr, nullptr);
        if (peer < 0) return;
        timeval wait{5, 0};
        setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        char buffer[4096];
        ssize_t got;
        while (request_.find("\n\n") == std::string::npos && (got = recv(peer, buffer, sizeof buffer, 0)) > 0)
            request_.append(buffer, static_cast<std::size_t>(got));
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            send(peer, parts[i].data(), parts[i].size(), MSG_NOSIGNAL);
        }
        if (!closeAtOnce)
            while (recv(peer, buffer, sizeof buffer, 0) > 0) {
            }
        close(peer);
    }

    int listener_ = -1;
    uint16_t port_ = 0;
    std::thread thread_;
    std::string request_;
};

// A loopback port that was free a moment ago: bound, read back, closed unused.
uint16_t freePort() {
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    close(probe);
    return ntohs(address.sin_port);
}

TEST(UpdateCheck, NoListenerIsError1) {
    const uint16_t port = freePort();
    ASSERT_NE(port, 0);
    const UpdateCheckResult result = CheckForUpdate("127.0.0.1:" + std::to_string(port), kPacker, kFrontend, 2000);
    EXPECT_EQ(result.error, 1);
    EXPECT_EQ(result.newestPacker, kPacker);
    EXPECT_EQ(result.newestFrontend, kFrontend);
}

TEST(UpdateCheck, HostilePeers) {
    struct Row { const char* what; std::vector<std::string> parts; bool closeAtOnce; int timeout; long error; uint32_t packer, frontend; };
    const std::vector<Row> rows = {
        {"close without data", {}, true, 5000, 2, 1, 2},
        {"silent peer", {}, false, 300, 2, 1, 2},
        {"no empty line", {"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n!!!!!!!!20051110,20051018"}, true, 5000, 2, 1, 2},
        {"no marker", {kHeader + "20051110,20051018"}, true, 5000, 3, 1, 2},
        {"error page", {"HTTP/1.1 404 Not Found\r\n\r\n<html>gone</html>"}, true, 5000, 3, 1, 2},
        {"header and body in separate sends", {kHeader, "!!!!!!!!20051110,20051018"}, false, 5000, 0, kPacker, kFrontend},
        {"body in three sends", {kHeader + "!!!", "!!!!!2005", "1110,20051018"}, false, 5000, 0, kPacker, kFrontend},
        {"chunk-size line before the marker", {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1a\r\n!!!!!!!!20051110,20051018\r\n0\r\n\r\n"}, false, 5000, 0, kPacker, kFrontend},
        {"header, then silence", {kHeader}, false, 300, 3, 1, 2},
        {"more than the buffer holds", {kHeader + std::string(5000, 'x') + "!!!!!!!!20051110,20051018"}, false, 5000, 3, 1, 2},
    };
    for (const Row& row : rows) {
        Peer peer(row.parts, row.closeAtOnce);
        ASSERT_NE(peer.port(), 0) << row.what;
        const UpdateCheckResult result = CheckForUpdate("127.0.0.1:" + std::to_string(peer.port()), 1, 2, row.timeout);
        EXPECT_EQ(result.error, row.error) << row.what;
        EXPECT_EQ(result.newestPacker, row.packer) << row.what;
        EXPECT_EQ(result.newestFrontend, row.frontend) << row.what;
        EXPECT_EQ(peer.request(), requestFor(peer.port(), 1, 2)) << row.what;
    }
}

TEST(UpdateCheck, SendsExactlyTheRequestBytes) {
    Peer peer({kHeader + "!!!!!!!!20051110,20051018"}, true);
    CheckForUpdate("127.0.0.1:" + std::to_string(peer.port()), 0, kFrontend, 5000);
    const std::string port = std::to_string(peer.port());
    EXPECT_EQ(peer.request(), "GET /cgi-bin/ver/ver.cgi HTTP/1.1\n"
                              "Referer: http://127.0.0.1:" + port + "/\n"
                              "Host: 127.0.0.1:" + port + "\n"
                              "User-Agent: Tessaryn/1.0(00000000; Frontend 20051018)\n"
                              "Connection: Keep-Alive\n"
                              "\n");
}

}  // namespace
