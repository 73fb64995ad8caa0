#include "support/test_support.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

namespace tessel::test {

fs::path CorpusDir() {
    static const fs::path dir = [] {
        fs::path p(TESSEL_CORPUS_DIR);
        std::error_code ec;
        return fs::is_directory(p, ec) ? p : fs::path();
    }();
    return dir;
}

fs::path SourceDir() {
    return fs::path(TESSEL_SOURCE_DIR);
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

bool HaveTool(const std::string& name) {
    const std::string command = "command -v " + name + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

CMessageCapture::CMessageCapture(EAnswer a) : answer(a), previous_(SetMessageSink(this)) {}

CMessageCapture::~CMessageCapture() {
    SetMessageSink(previous_);
}

CTempDir::CTempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    path_ = fs::temp_directory_path() / ("tessel-test-" + std::to_string(::getpid()) + "-" +
                                         std::to_string(counter++) + "-" + std::to_string(rd()));
    fs::create_directories(path_);
}

CTempDir::~CTempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

namespace {
std::string Slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
}  // namespace

SRunResult RunCli(const std::vector<std::string>& args) {
    return RunCliWithInput(args, "/dev/null");
}

SRunResult RunCliWithInput(const std::vector<std::string>& args, const std::string& input) {
    CTempDir tmp;
    std::string cmd = Quote(TESSEL_CLI_PATH);
    // Appended piece by piece: GCC 12 warns (-Wrestrict) about chains of +.
    for (const auto& a : args) cmd.append(" ").append(Quote(a));
    cmd.append(" >").append(Quote((tmp.Path() / "out").string()));
    cmd.append(" 2>").append(Quote((tmp.Path() / "err").string()));
    cmd.append(" <").append(Quote(input));
    SRunResult r;
    const int status = std::system(cmd.c_str());
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = Slurp(tmp.Path() / "out");
    r.err = Slurp(tmp.Path() / "err");
    return r;
}

int64_t PeakMemoryGrowth(const std::function<void()>& work) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        work();
        getrusage(RUSAGE_SELF, &after);
        const int64_t growth = (int64_t{after.ru_maxrss} - before.ru_maxrss) * 1024;
        (void)!write(fds[1], &growth, sizeof growth);
        _exit(0);
    }
    close(fds[1]);
    int64_t growth = -1;
    if (read(fds[0], &growth, sizeof growth) != sizeof growth) growth = -1;
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? growth : -1;
}

}  // namespace tessel::test
