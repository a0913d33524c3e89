#include "DataTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "framework/core/app/Application.h"
#include "framework/core/files/Descramble.h"
#include "framework/core/util/FileSystem.h"

namespace QmvTest {

DataFolderScope::DataFolderScope(const std::string& gameId)
{
    if (std::getenv("XDG_DATA_HOME") == nullptr) {
        setenv("XDG_DATA_HOME", (std::filesystem::temp_directory_path() / "qmv_data_tests").c_str(), 1);
    }
    Qmv2::Application::s_GameId = gameId;
    Qmv2::SetDataFolderGameId(gameId);
    std::filesystem::remove_all(Qmv2::GameDataFolder());
    Qmv2::SetDataFolderGameId("");
    Qmv2::SetDataFolderGameId(gameId);
    m_Folder = Qmv2::GameDataFolder();
}

DataFolderScope::~DataFolderScope()
{
    std::error_code error;
    std::filesystem::remove_all(m_Folder, error);
    Qmv2::Application::s_GameId = "<untitled>";
    Qmv2::SetDataFolderGameId("<untitled>");
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadScrambled(const std::string& path)
{
    std::string bytes = ReadBytes(path);
    Qmv2::DescrambleBuffer(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    return bytes;
}

void WriteScrambled(const std::string& path, const std::string& text)
{
    std::string bytes = text;
    Qmv2::DescrambleBuffer(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
    WriteBytes(path, bytes);
}

namespace {

// Takes away the capabilities that let root read and write past permissions.
bool DropFileOverrides()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    if (syscall(SYS_capget, &header, data) != 0) {
        return false;
    }
    const unsigned dropped = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER);
    data[0].effective &= ~dropped;
    return syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

int AsPlayer(int (*body)(), std::string* messages)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return -1;
    }
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeEnds[0]);
        dup2(pipeEnds[1], STDERR_FILENO);
        close(pipeEnds[1]);
        if (geteuid() == 0 && !DropFileOverrides()) {
            _exit(100);
        }
        const int result = body();
        std::fflush(stderr);
        _exit(result);
    }
    close(pipeEnds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    if (messages != nullptr) {
        *messages = text;
    }
    return WEXITSTATUS(status);
}

}  // namespace QmvTest
