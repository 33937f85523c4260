#include "tests/tools/process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace testenv {
namespace {

// Builds everything the child needs before fork, so the child only calls
// async-signal-safe functions.
struct ChildPlan {
    std::vector<std::string> argvStorage;
    std::vector<char*> argv;
    std::vector<std::pair<std::string, std::string>> environment;
    std::string workingDirectory;
    std::string stdinPath;
};

[[noreturn]] void becomeChild(const ChildPlan& plan, int outWrite, int errWrite) {
    int input = ::open(plan.stdinPath.c_str(), O_RDONLY);
    if (input < 0 || ::dup2(input, 0) < 0 || ::dup2(outWrite, 1) < 0 || ::dup2(errWrite, 2) < 0) ::_exit(127);
    if (!plan.workingDirectory.empty() && ::chdir(plan.workingDirectory.c_str()) != 0) ::_exit(127);
    for (const auto& variable : plan.environment) ::setenv(variable.first.c_str(), variable.second.c_str(), 1);
    ::execvp(plan.argv[0], plan.argv.data());
    ::_exit(127);
}

// Reads both pipes until both are closed, so neither can fill up and block the child.
void drain(int outRead, int errRead, ProcessResult& result) {
    pollfd fds[2] = {{outRead, POLLIN, 0}, {errRead, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int stillOpen = 2;
    char chunk[65536];
    while (stillOpen > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            ssize_t got = ::read(fds[i].fd, chunk, sizeof chunk);
            if (got > 0) {
                sinks[i]->append(chunk, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --stillOpen;
            }
        }
    }
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    ProcessResult result;
    if (argv.empty()) return result;

    ChildPlan plan{argv, {}, options.environment, options.workingDirectory, options.stdinPath};
    for (std::string& argument : plan.argvStorage) plan.argv.push_back(argument.data());
    plan.argv.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    if (::pipe(outPipe) != 0) return result;
    if (::pipe(errPipe) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return result;
    }
    pid_t child = ::fork();
    if (child == 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        becomeChild(plan, outPipe[1], errPipe[1]);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (child < 0) {
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return result;
    }
    drain(outPipe[0], errPipe[0], result);

    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return result;
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool programOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return false;
    std::string folders = path;
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        std::string candidate = folders.substr(start, end - start) + "/" + name;
        struct stat info;
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace testenv
