// A child process of a test: the program started with a pipe on its standard input and
// its standard error captured.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

class ChildProcess {
  public:
    ChildProcess(const std::string& program, const std::vector<std::string>& args,
                 const std::map<std::string, std::string>& env);
    ~ChildProcess();

    // Writes a line to the child's standard input.
    void Send(const std::string& line);
    // Waits for the child to end; its exit code, or -1 when it did not end in time (it is
    // killed then) or was killed by a signal.
    int Wait(std::chrono::milliseconds limit);
    bool Running();
    void Kill(int signal);
    // Everything the child wrote to standard error (call after Wait).
    std::string Stderr();
    std::string Stdout();

  private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    std::string errFile_;
    std::string outFile_;
    int status_ = -1;
    bool reaped_ = false;
};
