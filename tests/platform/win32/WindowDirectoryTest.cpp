#include "ChildProcess.h"
#include "platform/win32/WindowDirectory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/un.h>

namespace window_directory_test {

namespace {

using platform::WindowDirectory;

const HWND kChildWindow = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1010));

// Deeper than a socket address can hold, as in a checkout a few folders down:
// nothing of the directory may depend on the folder's length.
std::string TestFolder()
{
    const std::string base = QMV_BINARY_DIR "/test-home/runtime/" + std::string(60, 'd') + "/" + std::string(60, 'e');
    std::filesystem::create_directories(base);
    const std::string folder = base + "/windows-" + std::to_string(getpid());
    EXPECT_GT(folder.size(), sizeof(sockaddr_un::sun_path));
    return folder;
}

// A child process that lists one window and reports over a pipe each request it receives.
class OtherInstance {
public:
    explicit OtherInstance(const std::string& folder)
    {
        int ready[2];
        int report[2];
        if (pipe(ready) != 0 || pipe(report) != 0) {
            return;
        }
        m_child = std::make_unique<ChildProcess>([&] {
            close(ready[0]);
            close(report[0]);
            WindowDirectory directory(folder);
            directory.Announce(kChildWindow, "QuorvelGame", "The Game");
            if (write(ready[1], "y", 1) != 1) {
                _exit(1);
            }
            for (;;) {
                for (const auto& [hwnd, request] : directory.Receive()) {
                    const char kind = hwnd != kChildWindow ? '?' : request == WindowDirectory::Request::Restore ? 'R' : 'F';
                    if (write(report[1], &kind, 1) != 1) {
                        _exit(1);
                    }
                }
                usleep(2000);
            }
        });
        close(ready[1]);
        close(report[1]);
        char answer = 0;
        m_ready = read(ready[0], &answer, 1) == 1;
        close(ready[0]);
        m_report = report[0];
    }
    ~OtherInstance()
    {
        Kill();
        if (m_report >= 0) {
            close(m_report);
        }
    }

    pid_t Pid() const { return m_child->Pid(); }
    bool Ready() const { return m_child->Pid() > 0 && m_ready; }
    char NextReport()
    {
        char kind = 0;
        return read(m_report, &kind, 1) == 1 ? kind : 0;
    }
    void Kill() { m_child->Kill(); }

private:
    std::unique_ptr<ChildProcess> m_child;
    bool m_ready = false;
    int m_report = -1;
};

TEST(WindowDirectoryTest, FindsAnotherInstancesWindowAndAsksItToComeForward)
{
    const std::string folder = TestFolder();
    OtherInstance other(folder);
    ASSERT_TRUE(other.Ready());
    WindowDirectory mine(folder);

    WindowDirectory::Entry entry;
    const std::string byClass = "quorvelgame";
    ASSERT_TRUE(mine.Find(&byClass, nullptr, entry)) << "class names ignore ASCII case";
    EXPECT_EQ(entry.pid, other.Pid());
    EXPECT_EQ(entry.handle, reinterpret_cast<std::uintptr_t>(kChildWindow));
    const std::string title = "The Game";
    EXPECT_TRUE(mine.Find(&byClass, &title, entry));
    const std::string otherTitle = "The Game 2";
    EXPECT_FALSE(mine.Find(&byClass, &otherTitle, entry));
    const std::string otherClass = "Quorvel";
    EXPECT_FALSE(mine.Find(&otherClass, nullptr, entry));
    ASSERT_TRUE(mine.Find(nullptr, &title, entry));
    EXPECT_TRUE(mine.Alive(entry));

    ASSERT_TRUE(mine.Send(entry, WindowDirectory::Request::Restore));
    EXPECT_EQ(other.NextReport(), 'R');
    ASSERT_TRUE(mine.Send(entry, WindowDirectory::Request::Raise));
    EXPECT_EQ(other.NextReport(), 'F');

    other.Kill();
    EXPECT_FALSE(mine.Alive(entry));
    EXPECT_FALSE(mine.Find(&byClass, nullptr, entry)) << "a dead process's windows are gone";
    EXPECT_FALSE(mine.Send(entry, WindowDirectory::Request::Raise)) << "its socket was cleared away";
}

TEST(WindowDirectoryTest, OwnWindowsAreNotListedAsAnotherInstance)
{
    const std::string folder = TestFolder();
    WindowDirectory mine(folder);
    const HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x2020));
    mine.Announce(window, "Solo", "Alone");
    WindowDirectory::Entry entry;
    const std::string byClass = "Solo";
    EXPECT_FALSE(mine.Find(&byClass, nullptr, entry));
    mine.Withdraw(window);
    EXPECT_TRUE(mine.Receive().empty());
}

}  // namespace

}  // namespace window_directory_test
