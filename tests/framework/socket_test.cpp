// The update check's connection against listeners of our own on loopback: a
// refused or unknown peer, a silent peer that only times out, and a send to a
// peer that has gone, which must not kill the process. (A whole exchange is
// the update check's own test, and the frontend's under Wine over Winsock.)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

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
