// Runs a program as a user runs it (its own process, output to /dev/null)
// and measures it from outside: wall time, CPU time and peak resident size.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace tessel::bench {

struct SRun {
    bool ok = false;
    double seconds = 0;  // wall
    double cpu = 0;      // user + system
    long peakKiB = 0;
};

// The program's standard output goes to out.
inline SRun RunProcess(const std::vector<std::string>& args, const char* out = "/dev/null") {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    SRun run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    auto secs = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    run.cpu = secs(usage.ru_utime) + secs(usage.ru_stime);
    run.peakKiB = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

// Makes folder once with write (which fills it and returns false after
// saying why) in a child process, as a program started later inherits the
// peak resident size of the process that starts it; a marker file inside
// tells that the folder is complete.
inline bool EnsureFolderInChild(const std::filesystem::path& folder,
                                const std::function<bool()>& write) {
    if (std::filesystem::exists(folder / "complete")) return true;
    std::fprintf(stderr, "writing %s ...\n", folder.c_str());
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid > 0) {
        int status = 0;
        return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    std::filesystem::remove_all(folder);
    if (!write()) _exit(1);
    std::FILE* f = std::fopen((folder / "complete").c_str(), "w");
    _exit(f && std::fclose(f) == 0 ? 0 : 1);
}

}  // namespace tessel::bench
