// tools/update-server.py on a loopback port of its choosing, for the update
// check and the About box's messages; ended by its process id.
#pragma once

#include <signal.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "tests/tools/testkit.h"

class UpdateServerProcess {
public:
    UpdateServerProcess(const std::string& packer, const std::string& frontend) {
        // The shell writes its process id, then becomes the server, which writes its port.
        const std::string command = "echo $$; exec python3 '" TESSARYN_SOURCE_DIR "/tools/update-server.py' --packer " +
                                    packer + " --frontend " + frontend + " --port 0 --bind 127.0.0.1 2>'" + log() + "'";
        pipe_ = popen(command.c_str(), "r");
        if (pipe_ == nullptr || std::fscanf(pipe_, "%d %hu", &pid_, &port_) != 2) port_ = 0;
    }
    ~UpdateServerProcess() { stop(); }
    uint16_t port() const { return port_; }
    // Ends the server and gives what it logged.
    std::string stop() {
        if (pid_ > 0) kill(pid_, SIGTERM);
        pid_ = 0;
        if (pipe_ != nullptr) pclose(pipe_);
        pipe_ = nullptr;
        const testkit::Bytes logged = testkit::readFile(log());
        return std::string(logged.begin(), logged.end());
    }

private:
    std::string log() const { return folder_ / "server.log"; }

    testkit::TempFolder folder_;
    FILE* pipe_ = nullptr;
    int pid_ = 0;
    uint16_t port_ = 0;
};
