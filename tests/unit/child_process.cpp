#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace {
std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::map<std::string, std::string>& env) {
    char errTemplate[] = "/tmp/fwupdate-child-err-XXXXXX";
    char outTemplate[] = "/tmp/fwupdate-child-out-XXXXXX";
    int errFd = ::mkstemp(errTemplate);
    int outFd = ::mkstemp(outTemplate);
    errFile_ = errTemplate;
    outFile_ = outTemplate;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, outFd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);

    std::vector<std::string> argStrings = {program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argStrings) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::map<std::string, std::string> merged;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry(*e);
        auto eq = entry.find('=');
        if (eq != std::string::npos) merged[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const auto& [k, v] : env) merged[k] = v;
    std::vector<std::string> envStrings;
    for (const auto& [k, v] : merged) envStrings.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (auto& e : envStrings) envp.push_back(e.data());
    envp.push_back(nullptr);

    if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[0]);
    ::close(errFd);
    ::close(outFd);
    stdin_ = pipeFds[1];
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status_, 0);
    }
    if (stdin_ >= 0) ::close(stdin_);
    ::unlink(errFile_.c_str());
    ::unlink(outFile_.c_str());
}

void ChildProcess::Send(const std::string& line) {
    std::string text = line + "\n";
    [[maybe_unused]] ssize_t n = ::write(stdin_, text.data(), text.size());
}

bool ChildProcess::Running() {
    if (pid_ <= 0 || reaped_) return false;
    pid_t r = ::waitpid(pid_, &status_, WNOHANG);
    if (r == pid_) reaped_ = true;
    return !reaped_;
}

int ChildProcess::Wait(std::chrono::milliseconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (Running()) {
        if (std::chrono::steady_clock::now() > until) {
            Kill(SIGKILL);
            ::waitpid(pid_, &status_, 0);
            reaped_ = true;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

void ChildProcess::Kill(int signal) {
    if (pid_ > 0 && !reaped_) ::kill(pid_, signal);
}

std::string ChildProcess::Stderr() {
    return ReadAll(errFile_);
}
std::string ChildProcess::Stdout() {
    return ReadAll(outFile_);
}
