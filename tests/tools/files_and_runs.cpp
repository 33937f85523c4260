// Temporary folders, whole files, and the one runner of other programs.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>

#include "tests/tools/testkit.h"

namespace testkit {

TempFolder::TempFolder() : path_(std::getenv("TMPDIR") && *std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") {
    path_ += "/tessaryn-test-XXXXXX";
    if (!::mkdtemp(path_.data())) throw std::runtime_error("cannot create a folder from " + path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

void writeFile(const std::string& path, const Bytes& bytes) {
    if (!std::filesystem::path(path).parent_path().empty()) std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
}

void writeFile(const std::string& path, const std::string& text) { writeFile(path, bytesOf(text)); }

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

uint32_t u32(const Bytes& bytes, std::size_t at) {
    if (at + 4 > bytes.size()) throw std::out_of_range("u32 at " + std::to_string(at));
    return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

void putU32(Bytes& bytes, std::size_t at, uint32_t value) {
    for (unsigned i = 0; i < 4; ++i) bytes.at(at + i) = static_cast<uint8_t>(value >> (24 - 8 * i));
}

namespace {

// In the forked child (the tests run single-threaded, so setenv is safe here).
[[noreturn]] void becomeChild(const Run& what, char* const* argv, int input, int out, int err) {
    if ((what.input == Run::Input::Closed ? ::close(0) : ::dup2(input, 0)) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
        (!what.folder.empty() && ::chdir(what.folder.c_str()) != 0))
        ::_exit(127);
    if (what.fileSizeLimit >= 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // stays ignored across exec: a write past the limit fails instead
        const rlimit limit{static_cast<rlim_t>(what.fileSizeLimit), static_cast<rlim_t>(what.fileSizeLimit)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    for (const auto& variable : what.env) ::setenv(variable.first.c_str(), variable.second.c_str(), 1);
    ::execvp(argv[0], argv);
    ::_exit(127);
}

// Reads both pipes to their end, so that neither fills up and stalls the child.
void drain(int out, int err, Ran& ran) {
    pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    std::string* sinks[2] = {&ran.out, &ran.err};
    char chunk[65536];
    for (int open = 2; open > 0 && (::poll(fds, 2, -1) >= 0 || errno == EINTR);) {
        for (int i = 0; i < 2; ++i) {
            const ssize_t got = fds[i].fd >= 0 && fds[i].revents ? ::read(fds[i].fd, chunk, sizeof chunk) : -2;
            if (got > 0) sinks[i]->append(chunk, static_cast<std::size_t>(got));
            if (got == 0 || (got == -1 && errno != EINTR)) ::close(fds[i].fd), fds[i].fd = -1, --open;
        }
    }
}

}  // namespace

Ran run(const Run& what) {
    Ran ran;
    std::vector<std::string> storage = what.argv;
    std::vector<char*> argv;
    for (std::string& argument : storage) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const bool piped = what.input == Run::Input::Text || what.input == Run::Input::SilentPipe;
    int in[2] = {-1, -1}, out[2], err[2];
    if ((piped ? ::pipe(in) : (in[0] = ::open("/dev/null", O_RDONLY))) < 0 || ::pipe(out) != 0 || ::pipe(err) != 0) return ran;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(out[0]), ::close(err[0]);
        if (in[1] >= 0) ::close(in[1]);
        becomeChild(what, argv.data(), in[0], out[1], err[1]);
    }
    ::close(in[0]), ::close(out[1]), ::close(err[1]);
    if (what.input == Run::Input::Text) {
        ::signal(SIGPIPE, SIG_IGN);
        (void)!::write(in[1], what.text.data(), what.text.size());
        ::close(in[1]), in[1] = -1;
    }
    if (child > 0) drain(out[0], err[0], ran);
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) continue;
    if (in[1] >= 0) ::close(in[1]);  // the silent pipe stays open until the child has ended
    if (child > 0 && WIFEXITED(status)) ran.exitCode = WEXITSTATUS(status);
    ran.out = maskElapsed(ran.out);
    return ran;
}

std::string packerVerdict(const std::string& packer, const std::string& package) {
    Ran ran = run(Run({packer, "--inspect", package}));
    if (!ran.out.empty() && ran.out.back() == '\n') ran.out.pop_back();
    return std::to_string(ran.exitCode) + " " + ran.out.substr(ran.out.rfind('\n') + 1);
}

std::string maskElapsed(const std::string& report) {
    return std::regex_replace(report, std::regex(R"(completed\. \(\d+\.\d{3}sec\))"), "completed. (T)");
}

}  // namespace testkit
