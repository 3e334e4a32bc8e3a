#include "tests/support/run_binary.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "tests/support/temp_folder.hpp"

std::vector<char*> child_argv(const ChildRequest& request) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(request.binary.c_str()));
    for (const std::string& word : request.arguments) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    return argv;
}

void exec_child(const ChildRequest& request, const std::vector<char*>& argv) {
    if (chdir(request.work_dir.c_str()) != 0) _exit(126);
    // Whatever the test runner ignores or blocks, the program meets the
    // signals as a user's shell would give them.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) std::signal(signal, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const auto& [name, value] : request.env) setenv(name.c_str(), value.c_str(), 1);
    execv(request.binary.c_str(), argv.data());
    _exit(127);
}

StartedChild::StartedChild(const ChildRequest& request) {
    const unsigned long long address_space_bytes = request.address_space_bytes;
    const std::vector<char*> argv = child_argv(request);

    const std::string in_path = scratch_ / "answers";
    write_file(in_path, request.input);
    const std::string out_path = scratch_ / "stdout";
    const std::string err_path = scratch_ / "stderr";

    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        const int in = open(in_path.c_str(), O_RDONLY);
        const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
        if (address_space_bytes != 0) {
            const rlimit limit{static_cast<rlim_t>(address_space_bytes), static_cast<rlim_t>(address_space_bytes)};
            if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(126);
        }
        if (request.timeout_seconds != 0) alarm(request.timeout_seconds);  // kept across execv
        exec_child(request, argv);
    }
}

StartedChild::~StartedChild() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        wait();
    }
}

BinaryRun StartedChild::wait() {
    int status = 0;
    rusage usage{};
    while (wait4(pid_, &status, 0, &usage) < 0) {
    }
    pid_ = -1;
    BinaryRun run;
    run.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = read_file(scratch_ / "stdout");
    run.err = read_file(scratch_ / "stderr");
    run.max_rss_kib = usage.ru_maxrss;
    return run;
}

BinaryRun run_child(const ChildRequest& request) { return StartedChild(request).wait(); }
