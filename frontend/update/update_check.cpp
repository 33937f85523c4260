#include "frontend/update/update_check.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/decimal.h"
#include "framework/socket.h"

#ifndef TESSARYN_UPDATE_HOST
#define TESSARYN_UPDATE_HOST "update.tessaryn.invalid"
#endif

namespace frontend {

namespace {

constexpr std::size_t kMaxHostName = 255;
constexpr std::size_t kReplyCapacity = 4096;
// Where the two versions are read, counted from the byte after the marker.
constexpr std::size_t kPackerVersionAt = 1;
constexpr std::size_t kFrontendVersionAt = 10;

// Where the header ends: the LF of its first line that holds no printable byte
// (CR is not one). False when there is none.
bool FindHeaderEnd(const unsigned char* reply, std::size_t size, std::size_t& at) {
    unsigned printable = 0;
    for (at = 0; at < size; ++at) {
        if (reply[at] == '\n') {
            if (printable == 0) return true;
            printable = 0;
        } else if (reply[at] >= 0x20) {
            ++printable;
        }
    }
    return false;
}

// Where the reply's versions begin, searched from the header's end: the byte
// after the seventh "!" of a run. A "!" right after printable text starts a new
// run, so a chunk-size line before the marker does not shift it.
UpdateError FindVersions(const unsigned char* reply, std::size_t size, std::size_t& position) {
    std::size_t i = 0;
    if (!FindHeaderEnd(reply, size, i)) return UpdateError::NoReply;
    unsigned run = 0, printable = 0;
    while (i < size && run < 7) {
        const unsigned char byte = reply[i++];
        if (byte == '!') {
            run = printable == 0 ? run + 1 : 1;
            printable = 0;
        } else {
            run = 0;
            if (byte >= 0x20) ++printable;
        }
    }
    if (i >= size) return UpdateError::NoVersions;
    position = i;
    return UpdateError::None;
}

// A decimal number at `start`: white space skipped, an optional sign, digits.
// 0 when there are none, or for a negative number; at most 0xFFFFFFFF.
// `complete` tells whether the bytes held settle it: its digits (or the byte
// that shows there are none) end before the bytes do, so more bytes cannot
// change it.
uint32_t ReadNumber(const unsigned char* reply, std::size_t size, std::size_t start, bool& complete) {
    const char* held = reinterpret_cast<const char*>(reply);
    const DecimalRead<uint32_t> number = ReadDecimal(held + std::min(start, size), held + size, DecimalOverflow::Saturate);
    complete = number.stop < held + size;
    return number.value;
}

// The two versions after the marker; false until the bytes held settle both.
bool ReadVersions(const unsigned char* reply, std::size_t size, std::size_t position, UpdateCheckResult& result) {
    bool packerComplete = false, frontendComplete = false;
    result.newestPacker = ReadNumber(reply, size, position + kPackerVersionAt, packerComplete);
    result.newestFrontend = ReadNumber(reply, size, position + kFrontendVersionAt, frontendComplete);
    return packerComplete && frontendComplete;
}

// Reads until both versions are settled, the server closes, the buffer is full or it falls silent.
std::string ReceiveReply(framework::TcpConnection& connection, int timeoutMilliseconds) {
    std::string reply(kReplyCapacity, '\0');
    std::size_t size = 0;
    while (size < reply.size() && !UpdateReplyIsComplete(reply.data(), size)) {
        const int got = connection.receive(&reply[size], reply.size() - size, timeoutMilliseconds);
        if (got <= 0) break;
        size += static_cast<std::size_t>(got);
    }
    reply.resize(size);
    return reply;
}

}  // namespace

bool ParseUpdateServer(const std::string& text, UpdateServer& server) {
    const std::size_t colon = text.rfind(':');
    std::string host = text.substr(0, colon);
    unsigned long port = 80;
    if (colon != std::string::npos) {
        const std::string digits = text.substr(colon + 1);
        if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return false;
        port = ReadDecimal(digits.c_str(), DecimalOverflow::Saturate).value;
        if (port == 0 || port > 65535) return false;
    }
    if (host.empty() || host.size() > kMaxHostName) return false;
    server.host = std::move(host);
    server.port = static_cast<uint16_t>(port);
    return true;
}

std::string UpdateServerSetting() {
    const char* setting = std::getenv("TESSARYN_UPDATE_SERVER");
    return setting && *setting ? setting : TESSARYN_UPDATE_HOST;
}

std::string BuildUpdateRequest(const UpdateServer& server, uint32_t packerVersion, uint32_t frontendVersion) {
    std::string authority = server.host;
    if (server.port != 80) authority += ":" + std::to_string(server.port);
    char agent[64];
    std::snprintf(agent, sizeof agent, "User-Agent: Tessaryn/1.0(%08lu; Frontend %08lu)\n",
                  static_cast<unsigned long>(packerVersion), static_cast<unsigned long>(frontendVersion));
    return "GET /cgi-bin/ver/ver.cgi HTTP/1.1\n"
           "Referer: http://" + authority + "/\n"
           "Host: " + authority + "\n" +
           agent +
           "Connection: Keep-Alive\n"
           "\n";
}

bool UpdateReplyIsComplete(const char* reply, std::size_t size) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(reply);
    std::size_t position = 0;
    UpdateCheckResult versions;
    return FindVersions(bytes, size, position) == UpdateError::None && ReadVersions(bytes, size, position, versions);
}

UpdateError ParseUpdateReply(const char* reply, std::size_t size, UpdateCheckResult& result) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(reply);
    std::size_t position = 0;
    const UpdateError error = FindVersions(bytes, size, position);
    if (error == UpdateError::None) ReadVersions(bytes, size, position, result);
    return error;
}

UpdateCheckResult CheckForUpdate(const std::string& serverSetting, uint32_t packerVersion, uint32_t frontendVersion,
                                 int timeoutMilliseconds) {
    UpdateCheckResult result{UpdateError::Unreachable, packerVersion, frontendVersion};
    UpdateServer server;
    framework::TcpConnection connection;  // closes the socket and ends Winsock on every return
    if (!ParseUpdateServer(serverSetting, server) || !connection.connect(server.host, server.port, timeoutMilliseconds)) {
        return result;
    }
    const std::string request = BuildUpdateRequest(server, packerVersion, frontendVersion);
    // A failed send is not reported by itself: it leaves nothing to receive.
    const std::string reply =
        connection.sendAll(request.data(), request.size(), timeoutMilliseconds) ? ReceiveReply(connection, timeoutMilliseconds) : "";
    connection.close();
    result.error = reply.empty() ? UpdateError::NoReply : ParseUpdateReply(reply.data(), reply.size(), result);
    return result;
}

UpdateCheckResult CheckForUpdate(uint32_t packerVersion, uint32_t frontendVersion) {
    return CheckForUpdate(UpdateServerSetting(), packerVersion, frontendVersion);
}

}  // namespace frontend
