#include "support/process.h"

#include <cerrno>
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

process_result run_process(const std::vector<std::string>& argv,
                           const std::filesystem::path& working_dir) {
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
    while (fds[0] >= 0 || fds[1] >= 0) {
        pollfd p[2];
        int n = 0;
        int index[2];
        for (int i = 0; i < 2; ++i)
            if (fds[i] >= 0) {
                p[n] = {fds[i], POLLIN, 0};
                index[n++] = i;
            }
        if (::poll(p, n, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int k = 0; k < n; ++k) {
            if (!(p[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t got = ::read(fds[index[k]], buffer, sizeof buffer);
            if (got > 0)
                sinks[index[k]]->append(buffer, static_cast<std::size_t>(got));
            else if (got == 0 || errno != EINTR)
                close_fd(fds[index[k]]);
        }
    }
    close_fd(fds[0]);
    close_fd(fds[1]);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.exit_code = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.exit_code = 128 + WTERMSIG(status);
    return result;
}

}  // namespace test_support
