#include "DataTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

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

}  // namespace QmvTest
