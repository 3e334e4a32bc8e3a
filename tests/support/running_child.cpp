#include "tests/support/running_child.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <vector>

RunningChild::RunningChild(const ChildRequest& request) {
    int to_child[2];
    int from_child[2];
    if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    const std::vector<char*> argv = child_argv(request);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (dup2(to_child[0], 0) < 0 || dup2(from_child[1], 1) < 0 || null < 0 || dup2(null, 2) < 0) _exit(126);
        exec_child(request, argv);
    }
    close(to_child[0]);
    close(from_child[1]);
    to_child_ = to_child[1];
    from_child_ = from_child[0];
}

RunningChild::~RunningChild() {
    if (pid_ > 0) stop(SIGKILL);
    if (to_child_ >= 0) close(to_child_);
    if (from_child_ >= 0) close(from_child_);
}

void RunningChild::send(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(to_child_, text.data() + done, text.size() - done);
        if (n <= 0) throw std::runtime_error("the program no longer reads its input");
        done += static_cast<std::size_t>(n);
    }
}

void RunningChild::close_input() {
    if (to_child_ >= 0) close(to_child_);
    to_child_ = -1;
}

bool RunningChild::wait_for(const std::string& text, int seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (out.find(text) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd ready{from_child_, POLLIN, 0};
        if (poll(&ready, 1, static_cast<int>(left.count())) <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(from_child_, buffer, sizeof buffer);
        if (n <= 0) return false;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

void RunningChild::read_rest() {
    char buffer[4096];
    ssize_t n = 0;
    while ((n = read(from_child_, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
}

int RunningChild::stop(int signal) {
    if (pid_ <= 0) throw std::runtime_error("the program has already ended");
    if (signal != 0) kill(pid_, signal);
    close_input();
    read_rest();
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
