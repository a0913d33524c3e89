#include "PulseServerSupport.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// True when the server accepts a connection on its socket.
bool Accepts(const std::string &path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, path.c_str());
  const int s = socket(AF_UNIX, SOCK_STREAM, 0);
  if (s < 0) return false;
  const bool ok = connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
  close(s);
  return ok;
}

}  // namespace

PulseServer::PulseServer(int rate) : process("pulse") {
  const std::string folder = process.Folder();
  if (folder.empty()) return;
  namespace fs = std::filesystem;
  fs::create_directories(folder + "/home");
  fs::create_directories(folder + "/runtime");
  fs::create_directories(folder + "/state");
  socket = folder + "/native";
  // Clients never start a server of their own, whatever their defaults.
  const std::string clientConfig = folder + "/client.conf";
  std::ofstream(clientConfig) << "autospawn = no\n";
  // A bus address that nothing listens on fails at once, where an unset one
  // would have the library try to launch a bus.
  const std::string noBus = "unix:path=" + folder + "/no-bus";
  process.Start({"pulseaudio", "-n", "--daemonize=no", "--system=no", "--exit-idle-time=-1", "--use-pid-file=no",
                 "--disallow-exit", "--realtime=no", "--high-priority=no", "--no-cpu-limit", "--log-target=stderr",
                 "--load=module-null-sink sink_name=" + std::string(kSink) + " rate=" + std::to_string(rate),
                 "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket},
                {{"HOME", folder + "/home"},
                 {"XDG_RUNTIME_DIR", folder + "/runtime"},
                 {"PULSE_RUNTIME_PATH", folder + "/runtime"},
                 {"PULSE_STATE_PATH", folder + "/state"},
                 {"PULSE_CLIENTCONFIG", clientConfig},
                 {"DBUS_SESSION_BUS_ADDRESS", noBus},
                 {"DBUS_SYSTEM_BUS_ADDRESS", noBus},
                 {"DISPLAY", ""},
                 {"PULSE_SERVER", ""}});
  ready = process.WaitUntil([&] { return Accepts(socket); }, ServerProcess::kStartLimit);
  if (!ready) return;
  setenv("PULSE_SERVER", ("unix:" + socket).c_str(), 1);
  setenv("PULSE_CLIENTCONFIG", clientConfig.c_str(), 1);
}

PulseServer::~PulseServer() {
  unsetenv("PULSE_SERVER");
  unsetenv("PULSE_CLIENTCONFIG");
}

bool PulseServer::Running() { return ready && process.Alive(); }
