#include "ImageFixtures.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace imagetest {

namespace {

class FixtureFolder {
public:
    FixtureFolder() : m_Name("imagetest" + std::to_string(::getpid()))
    {
        const std::string command = "/usr/bin/python3 " QMV_SOURCE_DIR "/tests/framework/graphics/image/make_images.py " +
                                    m_Name;
        if (std::system(command.c_str()) != 0) {
            throw std::runtime_error("make_images.py failed");
        }
    }
    ~FixtureFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(m_Name, ignored);
    }
    const std::string& Name() const { return m_Name; }

private:
    std::string m_Name;
};

}  // namespace

std::string Fixture(const std::string& name)
{
    static const FixtureFolder folder;
    return folder.Name() + "/" + name;
}

std::vector<std::uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t PixelAt(Qmv2::ImageData& data, std::int32_t x, std::int32_t y)
{
    const bool modified = data.IsModified();
    if (!data.Lock(true)) {
        throw std::runtime_error("texture lock failed");
    }
    const auto* bits = static_cast<const std::uint8_t*>(data.GetBits());
    const std::uint32_t pixel =
        *reinterpret_cast<const std::uint32_t*>(bits + static_cast<std::ptrdiff_t>(y) * data.GetPitch() + x * 4);
    data.Unlock();
    data.SetModified(modified);
    return pixel;
}

}  // namespace imagetest
