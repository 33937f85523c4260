// The About box's update check: one HTTP exchange with our update server that
// sends both programs' versions and reads back the newest published ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace frontend {

// Connect, send and receive each give up after this long.
constexpr int kUpdateTimeoutMilliseconds = 15000;

// How a check ended. The numbers are the ones the About box shows (通信エラー #n).
enum class UpdateError : long {
    None = 0,
    Unreachable = 1,  // the server could not be reached
    NoReply = 2,      // its reply is missing or has no header end
    NoVersions = 3,   // the reply has no version marker, or nothing after it
};

// The outcome of a check. The two versions are the newest ones on success, and
// the caller's own versions otherwise.
struct UpdateCheckResult {
    UpdateError error = UpdateError::None;
    uint32_t newestPacker = 0;
    uint32_t newestFrontend = 0;
};

// Where the check goes.
struct UpdateServer {
    std::string host;
    uint16_t port = 80;
};

// "host" or "host:port" (port 1..65535). False for an empty or over-long
// (over 255 bytes) host name or a bad port.
bool ParseUpdateServer(const std::string& text, UpdateServer& server);

// The server named by $TESSARYN_UPDATE_SERVER when set and not empty, else the
// host compiled in. Not checked: CheckForUpdate reports a bad one as error 1.
std::string UpdateServerSetting();

// The request bytes: LF line ends, the port in Referer and Host unless it is 80.
std::string BuildUpdateRequest(const UpdateServer& server, uint32_t packerVersion, uint32_t frontendVersion);

// True once `reply` holds the header end, the marker and both versions, each
// ended by a byte that is not a digit: from then on more bytes never change
// what ParseUpdateReply reads, so nothing more needs to be read.
bool UpdateReplyIsComplete(const char* reply, std::size_t size);

// Reads the newest versions out of a reply. On an error the versions in
// `result` are left as they were.
UpdateError ParseUpdateReply(const char* reply, std::size_t size, UpdateCheckResult& result);

// The whole exchange with `server` ("host" or "host:port").
UpdateCheckResult CheckForUpdate(const std::string& server, uint32_t packerVersion, uint32_t frontendVersion,
                                 int timeoutMilliseconds = kUpdateTimeoutMilliseconds);

// The whole exchange with the configured server (UpdateServerSetting).
UpdateCheckResult CheckForUpdate(uint32_t packerVersion, uint32_t frontendVersion);

}  // namespace frontend
