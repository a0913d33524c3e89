#include "SoundFixture.h"

#include <fstream>
#include <unistd.h>

#include "framework/core/files/FileLoader.h"
#include "sound/src/core/osnd_records.h"
#include "sound/src/output/output_nosound.h"
#include "sound/src/stream/osnd_stream.h"
#include "sound/src/system/system_file.h"

namespace QmvTest {

namespace {

void Tap(const std::int16_t* frames, int count, void* user)
{
    auto* out = static_cast<std::vector<std::int16_t>*>(user);
    out->insert(out->end(), frames, frames + 2 * count);
}

void Put32(std::ofstream& out, std::uint32_t value)
{
    const char bytes[4] = {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
    out.write(bytes, 4);
}

void Put16(std::ofstream& out, std::uint16_t value)
{
    const char bytes[2] = {char(value), char(value >> 8)};
    out.write(bytes, 2);
}

}  // namespace

void WriteWav(const std::string& path, const std::vector<std::int16_t>& samples, std::int32_t rate)
{
    std::ofstream out(path, std::ios::binary);
    const auto dataSize = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4);
    Put32(out, 36 + dataSize);
    out.write("WAVEfmt ", 8);
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, 1);
    Put32(out, static_cast<std::uint32_t>(rate));
    Put32(out, static_cast<std::uint32_t>(rate) * 2);
    Put16(out, 2);
    Put16(out, 16);
    out.write("data", 4);
    Put32(out, dataSize);
    for (std::int16_t sample : samples) {
        Put16(out, static_cast<std::uint16_t>(sample));
    }
}

std::vector<std::int16_t> Constant(std::size_t count, std::int16_t value)
{
    return std::vector<std::int16_t>(count, value);
}

void SoundFixture::SetUp()
{
    m_Previous = std::filesystem::current_path();
    m_Folder = std::filesystem::temp_directory_path() /
               ("qmv_snd_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(m_Folder / "sounds");
    std::filesystem::current_path(m_Folder);
}

void SoundFixture::TearDown()
{
    Qmv2::SoundManager::ReleaseInstance();
    OsndOutputNoSound_SetCaptureTap(nullptr, nullptr);
    Qmv2::s_DefaultLoadFlags = 0;
    std::filesystem::current_path(m_Previous);
    std::filesystem::remove_all(m_Folder);
}

bool SoundFixture::StartManager()
{
    OsndOutputNoSound_SetCaptureTap(Tap, &captured);
    Qmv2::SoundManager::EngineSetup setup;
    setup.output = OSND_OUTPUT_NOSOUND_NONREALTIME;
    Qmv2::SoundManager::Create(setup);
    captured.clear();
    return Qmv2::SoundManager::IsSoundUp();
}

void SoundFixture::Mix(int blocks)
{
    // What the game's mixer thread does, one block at a time: the streams'
    // pass and one mixed block. The game never runs OSND_Update, whose 3D pass
    // would put every mono sound it pans back in the middle.
    for (int i = 0; i < blocks; ++i) {
        OsndStream_UpdatePass(gOsnd.nonRealtimeStepMs > 0 ? gOsnd.nonRealtimeStepMs : gOsnd.blockLengthMsF);
        gOsnd.output->update();
    }
}

}  // namespace QmvTest
