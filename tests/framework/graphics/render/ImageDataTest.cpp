// The image manager's task walks its textures on the window thread while the
// loader thread makes and drops them: it must only ever see whole objects.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/core/object/SmartPtr.h"
#include "framework/graphics/image/ImageManager.h"
#include "framework/graphics/render/ImageData.h"

namespace image_data_test {

namespace {

using Qmv2::ImageData;
using Qmv2::ImageManager;

// Notes how many textures the manager knows while its own part is made and
// while it goes.
class ProbeImageData : public ImageData {
public:
    explicit ProbeImageData(std::vector<std::string>& log) : ImageData(4, 4, 4, 4, true), m_Log(log)
    {
        m_Log.push_back("made, manager knows " + std::to_string(ImageManager::GetInstance()->GetTextureCount()));
    }
    ~ProbeImageData() override
    {
        m_Log.push_back("going, manager knows " + std::to_string(ImageManager::GetInstance()->GetTextureCount()));
    }
    void* GetBits() override { return nullptr; }

protected:
    bool DoLock(bool) override { return false; }
    bool DoUnlock() override { return true; }

private:
    std::vector<std::string>& m_Log;
};

TEST(ImageDataTest, TheManagerKnowsATextureOnlyWhileItIsWhole)
{
    ImageManager::Create();
    std::vector<std::string> log;
    {
        Qmv2::SmartPtr<ProbeImageData> data(ImageData::Create<ProbeImageData>(log));
        log.push_back("held, manager knows " + std::to_string(ImageManager::GetInstance()->GetTextureCount()));
    }
    EXPECT_EQ(log, (std::vector<std::string>{"made, manager knows 0", "held, manager knows 1",
                                             "going, manager knows 0"}));
    EXPECT_EQ(ImageManager::GetInstance()->GetTextureCount(), 0);
    ImageManager::ReleaseInstance();
}

}  // namespace

}  // namespace image_data_test
