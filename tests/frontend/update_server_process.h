// tools/update-server.py run by the tests on loopback, for the update check
// and the About box's messages.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

// tools/update-server.py on a port of its choosing, ended by its process id.
class UpdateServerProcess {
public:
    UpdateServerProcess(const std::string& packer, const std::string& frontend) {
        int out[2], err[2];
        if (pipe(out) != 0 || pipe(err) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(err[1], 2);
            close(out[0]), close(out[1]), close(err[0]), close(err[1]);
            const std::string script = std::string(TESSARYN_SOURCE_DIR) + "/tools/update-server.py";
            execlp("python3", "python3", script.c_str(), "--packer", packer.c_str(), "--frontend", frontend.c_str(),
                   "--port", "0", "--bind", "127.0.0.1", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]), close(err[1]);
        log_ = err[0];
        std::string line;
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
        close(out[0]);
        port_ = static_cast<uint16_t>(std::atoi(line.c_str()));
    }
    ~UpdateServerProcess() { stop(); }
    uint16_t port() const { return port_; }
    // Ends the server and gives what it logged.
    std::string stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        std::string log;
        char buffer[512];
        ssize_t got;
        while (log_ >= 0 && (got = read(log_, buffer, sizeof buffer)) > 0) log.append(buffer, static_cast<std::size_t>(got));
        if (log_ >= 0) close(log_);
        log_ = -1;
        return log;
    }

private:
    pid_t pid_ = -1;
    int log_ = -1;
    uint16_t port_ = 0;
};
