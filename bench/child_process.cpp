#include "child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace bench {

child_result run_child(const std::vector<std::string>& argv, bool capture_output) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    int pipe_fds[2] = {-1, -1};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (capture_output) {
        if (::pipe(pipe_fds) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
        posix_spawn_file_actions_addclose(&actions, pipe_fds[1]);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) throw std::runtime_error("cannot start " + argv[0]);

    child_result result;
    if (capture_output) {
        ::close(pipe_fds[1]);
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0)
            result.output.append(buffer, static_cast<std::size_t>(n));
        ::close(pipe_fds[0]);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
    result.peak_rss_bytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
    result.cpu_ms = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                    (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    return result;
}

}  // namespace bench
