#include "ChildProcess.h"
#include "platform/win32/WinInstance.h"
#include "platform/win32/WinKernelObject.h"
#include "platform/win32/WinLastError.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace win_instance_test {

namespace {

std::string UniqueName(const char* what)
{
    return std::string("Qmv test/") + what + "-" + std::to_string(getpid());
}

// A child process that holds the named mutex until it is killed.
class Holder {
public:
    explicit Holder(const std::string& name)
    {
        int ready[2];
        if (pipe(ready) != 0) {
            return;
        }
        m_child = std::make_unique<ChildProcess>([&name, &ready] {
            close(ready[0]);
            HANDLE mine = CreateMutexA(nullptr, TRUE, name.c_str());
            const char answer = mine != nullptr && GetLastError() == ERROR_SUCCESS ? 'y' : 'n';
            if (write(ready[1], &answer, 1) != 1) {
                _exit(1);
            }
            for (;;) {
                pause();
            }
        });
        close(ready[1]);
        char answer = 0;
        m_holding = read(ready[0], &answer, 1) == 1 && answer == 'y';
        close(ready[0]);
    }

    bool Holding() const { return m_child->Pid() > 0 && m_holding; }
    void Kill() { m_child->Kill(); }

private:
    std::unique_ptr<ChildProcess> m_child;
    bool m_holding = false;
};

TEST(WinInstanceTest, SecondInstanceSeesTheMutexUntilTheHolderDies)
{
    const std::string name = UniqueName("instance");
    Holder holder(name);
    ASSERT_TRUE(holder.Holding());

    HANDLE second = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(ReleaseMutex(second)) << "a handle to another's mutex does not own it";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    EXPECT_TRUE(CloseHandle(second));
    HANDLE opened = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    EXPECT_NE(opened, nullptr);
    CloseHandle(opened);

    holder.Kill();
    HANDLE first = CreateMutexA(nullptr, TRUE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "the kernel freed the dead holder's lock";
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_FALSE(ReleaseMutex(first)) << "released once";
    EXPECT_TRUE(CloseHandle(first));
}

TEST(WinInstanceTest, MutexLivesWhileItsHandleIsOpenInThisProcess)
{
    const std::string name = UniqueName("local");
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    HANDLE first = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_FALSE(ReleaseMutex(first)) << "not made as owner";
    HANDLE again = CreateMutexA(nullptr, TRUE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(again);

    EXPECT_TRUE(CloseHandle(first));
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr) << "closing the last handle ends the mutex";
    HANDLE renewed = CreateMutexA(nullptr, TRUE, name.c_str());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(renewed);

    EXPECT_FALSE(ReleaseMutex(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(WinInstanceTest, UnnamedMutexesAreAlwaysNew)
{
    HANDLE a = CreateMutexA(nullptr, TRUE, nullptr);
    HANDLE b = CreateMutexA(nullptr, TRUE, "");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(ReleaseMutex(a));
    CloseHandle(a);
    CloseHandle(b);
}

}  // namespace

}  // namespace win_instance_test
