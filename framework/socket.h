// A TCP connection for the update check, over Winsock or BSD sockets. Every
// step gives up after its time-out, so the dialog never hangs on a silent or
// unreachable server, and sending to a peer that has gone never raises SIGPIPE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct sockaddr_in;

namespace framework {

class TcpConnection {
public:
    TcpConnection();
    ~TcpConnection();
    TcpConnection(const TcpConnection&) = delete;
    TcpConnection& operator=(const TcpConnection&) = delete;

    // Resolves `host` (a name or a dotted IPv4 address) and connects.
    bool connect(const std::string& host, uint16_t port, int timeoutMilliseconds);
    // Sends all of the bytes, or fails.
    bool sendAll(const void* data, std::size_t size, int timeoutMilliseconds);
    // Receives what has arrived, at most `capacity` bytes: their count, 0 when
    // the peer has closed the connection, -1 on failure or time-out.
    int receive(void* buffer, std::size_t capacity, int timeoutMilliseconds);
    void close();

private:
    // Connecting waits for writable or, where Winsock reports a refused connect, exceptional.
    enum class Wait { Readable, Writable, Connected };
    bool waitFor(Wait what, int timeoutMilliseconds);
    bool finishConnecting(const sockaddr_in& address, int timeoutMilliseconds);

    std::intptr_t socket_;  // a SOCKET on Windows, a descriptor elsewhere; -1 when closed
    bool started_ = false;  // Winsock was started for this connection
};

}  // namespace framework
