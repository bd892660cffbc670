// fsshutdown <mount point> [options]: cuts the file system under the mount
// point off its disk the way a power cut does (FS_IOC_SHUTDOWN without a log
// flush: from that moment nothing more reaches the disk, and what the journal
// had not committed is lost at the next mount).
//
//   --keep <file> <copy>   right before the cut, copies <file> (as the running
//                          program left it) to <copy>, outside the cut file
//                          system; no copy when <file> does not exist
//   --watch <folder> <part> waits until a file in <folder> whose name holds
//                          <part> ("" for any) is created or written, then cuts
//   --skip <n>             lets the first n such events pass
//   --delay-us <n>         waits n microseconds between the event and the cut
//   --timeout <seconds>    gives up watching after that long (default 30)
//
// Prints "watching" once it watches, then "cut" and the name of the file the
// cut followed. Status 0 after the cut, 1 when nothing was written in time
// (no cut), 2 on a usage or system error.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/types.h>
#include <poll.h>
#include <string>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#ifndef FS_IOC_SHUTDOWN
#define FS_IOC_SHUTDOWN _IOR('X', 125, __u32)
#endif
#ifndef FS_SHUTDOWN_FLAGS_NOLOGFLUSH
#define FS_SHUTDOWN_FLAGS_NOLOGFLUSH 0x2
#endif

namespace {

struct Options {
    const char* mount = nullptr;
    const char* keep = nullptr;
    const char* keepCopy = nullptr;
    const char* watch = nullptr;
    std::string part;
    long skip = 0;
    long delayUs = 0;
    int timeout = 30;
};

bool Parse(int argc, char* argv[], Options* options)
{
    if (argc < 2) {
        return false;
    }
    options->mount = argv[1];
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const int left = argc - i - 1;
        if (arg == "--keep" && left >= 2) {
            options->keep = argv[++i];
            options->keepCopy = argv[++i];
        } else if (arg == "--watch" && left >= 2) {
            options->watch = argv[++i];
            options->part = argv[++i];
        } else if (arg == "--skip" && left >= 1) {
            options->skip = std::atol(argv[++i]);
        } else if (arg == "--delay-us" && left >= 1) {
            options->delayUs = std::atol(argv[++i]);
        } else if (arg == "--timeout" && left >= 1) {
            options->timeout = std::atoi(argv[++i]);
        } else {
            return false;
        }
    }
    return true;
}

// A plain byte copy; the source is read through the page cache, so it is
// what the program had written, whether or not it had reached the disk.
void Keep(const char* from, const char* to)
{
    const int in = open(from, O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return;
    }
    const int out = open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out >= 0) {
        char buffer[65536];
        ssize_t got = 0;
        while ((got = read(in, buffer, sizeof buffer)) > 0) {
            if (write(out, buffer, size_t(got)) != got) {
                break;
            }
        }
        close(out);
    }
    close(in);
}

// Waits for the event to cut after; the name of its file, or false on timeout.
bool Await(const Options& options, std::string* name)
{
    const int fd = inotify_init1(IN_CLOEXEC);
    if (fd < 0 || inotify_add_watch(fd, options.watch, IN_CREATE | IN_MODIFY | IN_MOVED_TO) < 0) {
        std::perror("inotify");
        std::exit(2);
    }
    std::printf("watching\n");
    std::fflush(stdout);
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    long seen = 0;
    alignas(inotify_event) char buffer[64 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long spent = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
        const long left = options.timeout * 1000L - spent;
        pollfd waiting{fd, POLLIN, 0};
        if (left <= 0 || poll(&waiting, 1, int(left)) <= 0) {
            return false;
        }
        const ssize_t got = read(fd, buffer, sizeof buffer);
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            const std::string file = event->len > 0 ? event->name : "";
            if (file.find(options.part) != std::string::npos && seen++ >= options.skip) {
                *name = file;
                return true;
            }
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    Options options;
    if (!Parse(argc, argv, &options)) {
        std::fprintf(stderr, "usage: fsshutdown <mount point> [--keep <file> <copy>] "
                             "[--watch <folder> <name part>] [--skip n] [--delay-us n] [--timeout s]\n");
        return 2;
    }
    // Opened before anything else, so the cut itself is one system call.
    const int mount = open(options.mount, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (mount < 0) {
        std::perror(options.mount);
        return 2;
    }
    std::string name = "-";
    if (options.watch && !Await(options, &name)) {
        std::printf("nothing written\n");
        return 1;
    }
    if (options.delayUs > 0) {
        usleep(useconds_t(options.delayUs));
    }
    if (options.keep) {
        Keep(options.keep, options.keepCopy);
    }
    __u32 flags = FS_SHUTDOWN_FLAGS_NOLOGFLUSH;
    if (ioctl(mount, FS_IOC_SHUTDOWN, &flags) != 0) {
        std::perror("FS_IOC_SHUTDOWN");
        return 2;
    }
    std::printf("cut %s\n", name.c_str());
    return 0;
}
