#include "packer/console.h"

#include <chrono>
#include <cstdio>

#ifdef _WIN32
#include <conio.h>
#include <io.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
void ReadOneKey() {
    if (_isatty(0)) {
        _getch();
        return;
    }
    char byte;
    (void)_read(0, &byte, 1);
}
#else
void ReadOneByte() {
    char byte;
    (void)!read(STDIN_FILENO, &byte, 1);
}

void ReadOneKey() {
    termios saved;
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved) != 0) {
        ReadOneByte();
        return;
    }
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    ReadOneByte();
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}
#endif

}  // namespace

void WaitForKey() {
    std::fflush(stdout);
    ReadOneKey();
}

uint64_t MillisecondClock() {
    auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}
