#include "framework/socket.h"

#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <fcntl.h>

#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace framework {

namespace {

constexpr std::intptr_t kClosed = -1;

#ifdef _WIN32
using Handle = SOCKET;
constexpr int kNoSignal = 0;  // Winsock never raises signals
bool connectIsUnderway() { return WSAGetLastError() == WSAEWOULDBLOCK; }
void closeHandle(Handle handle) { closesocket(handle); }
bool makeNonBlocking(Handle handle) {
    u_long on = 1;
    return ioctlsocket(handle, FIONBIO, &on) == 0;
}
#else
using Handle = int;
constexpr int kNoSignal = MSG_NOSIGNAL;
bool connectIsUnderway() { return errno == EINPROGRESS; }
void closeHandle(Handle handle) { ::close(handle); }
bool makeNonBlocking(Handle handle) {
    const int flags = fcntl(handle, F_GETFL, 0);
    return flags >= 0 && fcntl(handle, F_SETFL, flags | O_NONBLOCK) == 0;
}
#endif

Handle handleOf(std::intptr_t socket) { return static_cast<Handle>(socket); }

bool resolve(const std::string& host, uint16_t port, sockaddr_in& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
    std::memcpy(&address, found->ai_addr, sizeof address);
    freeaddrinfo(found);
    address.sin_port = htons(port);
    return true;
}

}  // namespace

TcpConnection::TcpConnection() : socket_(kClosed) {
#ifdef _WIN32
    WSADATA data;
    started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
#else
    started_ = true;
#endif
}

TcpConnection::~TcpConnection() {
    close();
#ifdef _WIN32
    if (started_) WSACleanup();
#endif
}

void TcpConnection::close() {
    if (socket_ != kClosed) closeHandle(handleOf(socket_));
    socket_ = kClosed;
}

bool TcpConnection::waitFor(Wait what, int timeoutMilliseconds) {
    const Handle handle = handleOf(socket_);
#ifndef _WIN32
    if (handle >= FD_SETSIZE) return false;  // select() can't watch it
#endif
    fd_set set, failed;
    FD_ZERO(&set);
    FD_SET(handle, &set);
    FD_ZERO(&failed);
    FD_SET(handle, &failed);
    timeval timeout{timeoutMilliseconds / 1000, (timeoutMilliseconds % 1000) * 1000};
    const int top = static_cast<int>(handle) + 1;
    switch (what) {
        case Wait::Readable:
            return select(top, &set, nullptr, nullptr, &timeout) == 1;
        case Wait::Writable:
            return select(top, nullptr, &set, nullptr, &timeout) == 1;
        case Wait::Connected:
            return select(top, nullptr, &set, &failed, &timeout) >= 1;
    }
    return false;
}

bool TcpConnection::connect(const std::string& host, uint16_t port, int timeoutMilliseconds) {
    close();
    sockaddr_in address{};
    if (!started_ || !resolve(host, port, address)) return false;
    const Handle handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
#ifdef _WIN32
    if (handle == INVALID_SOCKET) return false;
#else
    if (handle < 0) return false;
#endif
    socket_ = static_cast<std::intptr_t>(handle);
    if (!makeNonBlocking(handle) || !finishConnecting(address, timeoutMilliseconds)) {
        close();
        return false;
    }
    return true;
}

// A non-blocking connect: done at once, or underway until the socket turns
// writable (a refused one too, on POSIX) or, on Windows, lands in the exception
// set, which is the only way Winsock reports a refusal. Either way the outcome
// is the socket's pending error.
bool TcpConnection::finishConnecting(const sockaddr_in& address, int timeoutMilliseconds) {
    const Handle handle = handleOf(socket_);
    if (::connect(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    if (!connectIsUnderway() || !waitFor(Wait::Connected, timeoutMilliseconds)) return false;
    int error = 0;
    socklen_t length = sizeof error;
    return getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0 && error == 0;
}

bool TcpConnection::sendAll(const void* data, std::size_t size, int timeoutMilliseconds) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        if (socket_ == kClosed || !waitFor(Wait::Writable, timeoutMilliseconds)) return false;
        const int sent = static_cast<int>(::send(handleOf(socket_), next, static_cast<int>(size), kNoSignal));
        if (sent <= 0) return false;
        next += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

int TcpConnection::receive(void* buffer, std::size_t capacity, int timeoutMilliseconds) {
    if (socket_ == kClosed || !waitFor(Wait::Readable, timeoutMilliseconds)) return -1;
    const int got = static_cast<int>(::recv(handleOf(socket_), static_cast<char*>(buffer), static_cast<int>(capacity), 0));
    return got < 0 ? -1 : got;
}

}  // namespace framework
