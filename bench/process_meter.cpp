// process_meter: what one run of a program costs, seen from outside.
//
//   process_meter INPUT PROGRAM [ARGUMENTS...]
//
// Runs PROGRAM as a child, standard input from the file INPUT, standard
// output and error to /dev/null, waits for it and prints one line:
//
//   <wall seconds> <user seconds> <system seconds> <peak resident KiB> <exit status>
//
// The wall time runs from the spawn to the end of the wait. A small program of
// its own because a child reports as its peak resident size at least that of
// the process it was started from (a /bin/true spawned from a process holding
// 100 MB reports 100 MB): the benchmark holds hundreds of megabytes, this
// program one or two.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

#include <cstdio>

extern char** environ;

namespace {

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec); }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: process_meter INPUT PROGRAM [ARGUMENTS...]\n", stderr);
        return 2;
    }
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 0, argv[1], O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, 2, "/dev/null", O_WRONLY, 0);
    const double start = now();
    pid_t child = 0;
    const int error = posix_spawn(&child, argv[2], &files, nullptr, argv + 2, environ);
    posix_spawn_file_actions_destroy(&files);
    int status = 0;
    rusage usage{};
    if (error != 0 || wait4(child, &status, 0, &usage) != child) {
        std::fprintf(stderr, "process_meter: cannot run %s\n", argv[2]);
        return 1;
    }
    const double wall = now() - start;
    // A program that could not be executed ends with 127 in the child.
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::printf("%.6f %.6f %.6f %ld %d\n", wall, seconds(usage.ru_utime), seconds(usage.ru_stime), usage.ru_maxrss,
                code);
    return 0;
}
