// A fresh resource manager per test, built from description files written
// into a folder of the test's own, with the fake resource kind registered.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

#include "FakeResource.h"
#include "framework/core/files/ResourceManagerWin32.h"

namespace QmvTest {

class ResourceFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeResource::Register();
        FakeLoads::Get().Reset();
        m_Previous = std::filesystem::current_path();
        m_Folder = std::filesystem::temp_directory_path() /
                   ("qmv_res_" + std::to_string(::getpid()) + "_" +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_Folder);
        std::filesystem::current_path(m_Folder);
    }

    void TearDown() override
    {
        Qmv2::ResourceManager::DestroyInstance();
        std::filesystem::current_path(m_Previous);
        std::filesystem::remove_all(m_Folder);
    }

    // Writes a description file whose "Sections" vector holds `sections`.
    static void WriteSections(const std::string& file, const std::string& sections)
    {
        std::ofstream(file) << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<root><Vector id=\"Sections\">"
                            << sections << "</Vector></root>\n";
    }

    // A manager (loader not started) with the sections of one description file.
    static Qmv2::ResourceManager* Manager(const std::string& sections)
    {
        WriteSections("resources.xml", sections);
        Qmv2::ResourceManager* manager = Qmv2::ResourceManagerWin32::Create();
        manager->AddSectionFile("resources.xml");
        manager->LoadSectionList();
        return manager;
    }

    // Polls as the start-up command does, but gives up after a minute (a
    // deadline only a loader that never finishes misses, however busy the
    // machine).
    static bool WaitQueueDone(Qmv2::ResourceManager* manager)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            if (manager->IsLoadQueueDone()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Waits (a minute at the most) until the loader has acted on every
    // wake-up so far and sleeps.
    static bool WaitLoaderIdle(Qmv2::ResourceManager* manager)
    {
        return static_cast<Qmv2::ResourceManagerWin32*>(manager)->WaitLoaderIdle(std::chrono::seconds(60));
    }

    // Waits (a minute at the most) for the section to be loaded without
    // waking the loader.
    static bool WaitSectionLoaded(Qmv2::ResourceManager* manager, const std::string& name)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            Qmv2::ResourceSection* section = manager->FindSection(name);
            if (section != nullptr && section->IsLoaded()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }

    std::filesystem::path m_Previous;
    std::filesystem::path m_Folder;
};

}  // namespace QmvTest
