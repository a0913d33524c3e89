#include "ServerProcessSupport.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
std::atomic<int> gServerCount{0};
}

ServerProcess::ServerProcess(const std::string &kind) {
  name = "qmv-" + kind + "-" + std::to_string(getpid()) + "-" + std::to_string(++gServerCount);
  std::string pattern = "/tmp/" + name + "-XXXXXX";
  if (mkdtemp(pattern.data())) folder = pattern;
  log = folder + "/server.log";
}

ServerProcess::~ServerProcess() {
  if (pid > 0) {
    kill(pid, SIGTERM);
    // A server that ignores the request is not waited for beyond 5 s.
    for (int i = 0; i < 250 && waitpid(pid, nullptr, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (kill(pid, 0) == 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  if (!folder.empty()) std::filesystem::remove_all(folder);
}

void ServerProcess::Start(const std::vector<std::string> &arguments, const Environment &environment) {
  if (folder.empty() || arguments.empty()) return;
  std::vector<char *> argv;
  for (const std::string &a : arguments) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);  // the server ends with the test, even a crashed one
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out >= 0) {
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
      close(out);
    }
    for (const auto &[variable, value] : environment) {
      if (value.empty())
        unsetenv(variable.c_str());
      else
        setenv(variable.c_str(), value.c_str(), 1);
    }
    execvp(argv[0], argv.data());
    std::fprintf(stderr, "%s could not be run: %s\n", argv[0], std::strerror(errno));
    _exit(127);
  }
}

bool ServerProcess::Alive() {
  if (pid <= 0) return false;
  int status = 0;
  if (waitpid(pid, &status, WNOHANG) == pid) {
    exitStatus = status;
    pid = -1;
    return false;
  }
  return true;
}

bool ServerProcess::WaitUntil(const std::function<bool()> &ready, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (!Alive()) return false;
    if (ready()) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

std::string ServerProcess::Output() const {
  std::ostringstream text;
  if (folder.empty()) return "no folder could be made under /tmp";
  text << std::ifstream(log).rdbuf();
  if (exitStatus != -1) {
    if (WIFEXITED(exitStatus)) text << "\n(the server ended with status " << WEXITSTATUS(exitStatus) << ")";
    if (WIFSIGNALED(exitStatus)) text << "\n(the server ended on signal " << WTERMSIG(exitStatus) << ")";
  } else if (pid > 0) {
    text << "\n(the server is still running but never became ready)";
  }
  return text.str();
}
