#include "support/process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace test_support {

namespace {

void close_fd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

process_result run_process(const std::vector<std::string>& argv, const std::filesystem::path& working_dir) {
    if (argv.empty()) throw std::runtime_error("run_process: no program given");
    int out_pipe[2], err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
        ::close(out_pipe[0]);
        ::close(out_pipe[1]);
        throw std::runtime_error("pipe failed");
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(out_pipe[1], 1);
        ::dup2(err_pipe[1], 2);
        int devnull = ::open("/dev/null", O_RDONLY);
        if (devnull >= 0) ::dup2(devnull, 0);
        if (!working_dir.empty() && ::chdir(working_dir.c_str()) != 0) _exit(126);
        ::execvp(args[0], args.data());
        const char* msg = "run_process: cannot execute program\n";
        ssize_t ignored = ::write(2, msg, std::strlen(msg));
        (void)ignored;
        _exit(127);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);

    process_result result;
    int fds[2] = {out_pipe[0], err_pipe[0]};
    std::string* sinks[2] = {&result.out, &result.err};
    char buffer[65536];
    // Reads whatever is waiting; closes a pipe at its end.
    auto read_available = [&](int i) {
        for (;;) {
            ssize_t got = ::read(fds[i], buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
                continue;
            }
            if (got < 0 && errno == EINTR) continue;
            if (got == 0 || errno != EAGAIN) close_fd(fds[i]);
            return;
        }
    };
    for (int fd : fds) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);

    // The program's end, not the pipes' end, finishes the run: programs such
    // as Wine leave background processes behind that inherited the pipes and
    // keep them open long after the program itself has exited.
    const auto deadline = std::chrono::steady_clock::now() + process_time_limit;
    int status = 0;
    bool exited = false;
    while (!exited) {
        pollfd p[2];
        int n = 0;
        int index[2];
        for (int i = 0; i < 2; ++i)
            if (fds[i] >= 0) {
                p[n] = {fds[i], POLLIN, 0};
                index[n++] = i;
            }
        if (::poll(p, n, 100) < 0 && errno != EINTR) break;
        for (int k = 0; k < n; ++k)
            if (p[k].revents & (POLLIN | POLLHUP | POLLERR)) read_available(index[k]);
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            exited = true;
        } else if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
            close_fd(fds[0]);
            close_fd(fds[1]);
            throw std::runtime_error("run_process: " + argv[0] + " did not finish within " +
                                     std::to_string(process_time_limit.count()) + " s; stopped it");
        }
    }
    // What the program wrote before it exited is in the pipes now.
    for (int i = 0; i < 2; ++i)
        if (fds[i] >= 0) read_available(i);
    close_fd(fds[0]);
    close_fd(fds[1]);

    if (!exited) {
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    }
    if (WIFEXITED(status))
        result.exit_code = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.exit_code = 128 + WTERMSIG(status);
    return result;
}

}  // namespace test_support
