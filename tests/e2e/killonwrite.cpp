// killonwrite <folder> <pid> [seconds]: kills <pid> with SIGKILL the moment
// a file in <folder> is first written to (inotify), so that a kill lands in
// the middle of writing a saved document. Prints "watching" once it watches,
// then the name of the file being written when it struck; status 1 when
// nothing was written within the time limit (default 30 s).
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: killonwrite <folder> <pid> [seconds]\n");
        return 2;
    }
    const pid_t pid = pid_t(std::atol(argv[2]));
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 30;
    const int fd = inotify_init1(IN_CLOEXEC);
    if (fd < 0 || inotify_add_watch(fd, argv[1], IN_MODIFY) < 0) {
        std::perror("inotify");
        return 2;
    }
    std::printf("watching\n");
    std::fflush(stdout);
    pollfd waiting{fd, POLLIN, 0};
    if (poll(&waiting, 1, seconds * 1000) <= 0) {
        std::printf("nothing written\n");
        return 1;
    }
    kill(pid, SIGKILL);
    alignas(inotify_event) char buffer[sizeof(inotify_event) + NAME_MAX + 1];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    const auto* event = reinterpret_cast<const inotify_event*>(buffer);
    std::printf("%s\n", got > 0 && event->len > 0 ? event->name : "?");
    return 0;
}
