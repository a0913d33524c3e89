// A sound server that a test starts for itself: in a folder of its own under
// /tmp with a name no other run on the machine shares, its output kept in a
// log so that a server that does not come up can say why.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <sys/types.h>

class ServerProcess {
 public:
  using Environment = std::vector<std::pair<std::string, std::string>>;

  // Makes the folder /tmp/qmv-<kind>-XXXXXX (the server's own; removed by the
  // destructor) without starting anything yet.
  explicit ServerProcess(const std::string &kind);
  ~ServerProcess();
  ServerProcess(const ServerProcess &) = delete;
  ServerProcess &operator=(const ServerProcess &) = delete;

  // Starts the program with these variables set on top of the test's (an
  // empty value unsets one); standard output and error go to the log.
  void Start(const std::vector<std::string> &arguments, const Environment &environment);
  // Waits until `ready` answers true (checked every 20 ms), the server ends
  // or `limit` has passed; true when ready.
  bool WaitUntil(const std::function<bool()> &ready, std::chrono::milliseconds limit);
  bool Alive();
  // What the server printed, and how it ended when it did.
  std::string Output() const;

  const std::string &Folder() const { return folder; }
  // A name for this run's server: the kind, the process id and a number that
  // counts up within the process.
  std::string UniqueName() const { return name; }

  // The longest wait for a server that a test with a 120 s limit can afford.
  static constexpr std::chrono::milliseconds kStartLimit{90000};

 private:
  std::string folder, name, log;
  pid_t pid = -1;
  int exitStatus = -1;
};
