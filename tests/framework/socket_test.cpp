// The update check's connection against listeners of our own on loopback: a
// whole exchange, a refused or unknown peer, a silent peer that only times out,
// and a send to a peer that has gone, which must not kill the process.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "framework/socket.h"

namespace {

constexpr int kShortWait = 300;  // milliseconds; the cases only need "gives up", not how fast

// A loopback listener on a free port, closed by its destructor.
class Listener {
public:
    Listener() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(fd_, reinterpret_cast<sockaddr*>(&address), length);
        listen(fd_, 4);
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~Listener() { ::close(fd_); }
    uint16_t port() const { return port_; }
    int accept() { return ::accept(fd_, nullptr, nullptr); }

private:
    int fd_;
    uint16_t port_ = 0;
};

TEST(TcpConnection, SendsTheRequestAndReadsTheReplyUntilThePeerCloses) {
    Listener listener;
    std::string request;
    std::thread server([&] {
        const int peer = listener.accept();
        char buffer[64];
        const ssize_t got = recv(peer, buffer, sizeof buffer, 0);
        request.assign(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
        send(peer, "reply", 5, 0);
        ::close(peer);
    });
    framework::TcpConnection connection;
    ASSERT_TRUE(connection.connect("localhost", listener.port(), 5000));
    EXPECT_TRUE(connection.sendAll("GET", 3, 5000));
    char reply[16];
    EXPECT_EQ(connection.receive(reply, sizeof reply, 5000), 5);
    EXPECT_EQ(std::string(reply, 5), "reply");
    EXPECT_EQ(connection.receive(reply, sizeof reply, 5000), 0) << "the peer closed";
    server.join();
    EXPECT_EQ(request, "GET");
}

TEST(TcpConnection, GivesUpOnRefusedUnknownAndSilentPeers) {
    uint16_t closedPort;
    {
        Listener gone;
        closedPort = gone.port();
    }
    framework::TcpConnection connection;
    EXPECT_FALSE(connection.connect("127.0.0.1", closedPort, kShortWait));
    EXPECT_FALSE(connection.connect("no-such-host.invalid", 80, kShortWait));

    Listener silent;  // accepts (in its backlog) but never answers
    ASSERT_TRUE(connection.connect("127.0.0.1", silent.port(), 5000));
    char reply[16];
    EXPECT_EQ(connection.receive(reply, sizeof reply, kShortWait), -1);
}

TEST(TcpConnection, SendingToAPeerThatHasGoneFailsWithoutASignal) {
    Listener listener;
    framework::TcpConnection connection;
    ASSERT_TRUE(connection.connect("127.0.0.1", listener.port(), 5000));
    ::close(listener.accept());
    const std::string block(65536, 'x');
    bool failed = false;
    for (int i = 0; i < 64 && !failed; ++i) failed = !connection.sendAll(block.data(), block.size(), kShortWait);
    EXPECT_TRUE(failed);  // and the process is still here: no SIGPIPE
}

}  // namespace
