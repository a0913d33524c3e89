// A resource kind for tests whose loads can be held, delayed and made to fail,
// with a record of every load and destruction.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/files/ResourceObject.h"
#include "framework/core/object/ObjectFactory.h"
#include "framework/core/properties/PropertyNode.h"

namespace QmvTest {

// What the fake loads do and what they did; one per test program.
class FakeLoads {
public:
    static FakeLoads& Get()
    {
        static FakeLoads loads;
        return loads;
    }

    void Reset()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Held.clear();
        m_Loading.clear();
        m_Order.clear();
        m_Threads.clear();
        m_Destroyed.clear();
        m_DestroyedWhileLoading = 0;
    }

    // Loads of `file` wait until Free.
    void Hold(const std::string& file)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Held.insert(file);
    }
    void Free(const std::string& file)
    {
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_Held.erase(file);
        }
        m_Changed.notify_all();
    }

    // Waits until a load of `file` has begun (a minute at the most: only a
    // loader that never gets there takes that long, however busy the machine).
    bool WaitLoading(const std::string& file)
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        return m_Changed.wait_for(lock, std::chrono::seconds(60), [&] { return Begun(file); });
    }

    std::vector<std::string> Order()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Order;
    }
    int LoadCount(const std::string& file)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        int count = 0;
        for (const std::string& name : m_Order) {
            count += name == file ? 1 : 0;
        }
        return count;
    }
    std::thread::id LoadThread(const std::string& file)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Threads[file];
    }
    bool WasDestroyed(const std::string& file)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Destroyed.count(file) != 0;
    }
    int DestroyedWhileLoading()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_DestroyedWhileLoading;
    }

    void Begin(const std::string& file)
    {
        std::unique_lock<std::mutex> lock(m_Mutex);
        m_Order.push_back(file);
        m_Threads[file] = std::this_thread::get_id();
        ++m_Loading[file];
        m_Changed.notify_all();
        m_Changed.wait(lock, [&] { return m_Held.count(file) == 0; });
    }
    void End(const std::string& file)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        --m_Loading[file];
    }
    void Destroyed(const std::string& file)
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Destroyed.insert(file);
        if (m_Loading[file] > 0) {
            ++m_DestroyedWhileLoading;
        }
    }

private:
    bool Begun(const std::string& file) const
    {
        for (const std::string& name : m_Order) {
            if (name == file) {
                return true;
            }
        }
        return false;
    }

    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    std::set<std::string> m_Held;
    std::map<std::string, int> m_Loading;
    std::vector<std::string> m_Order;
    std::map<std::string, std::thread::id> m_Threads;
    std::set<std::string> m_Destroyed;
    int m_DestroyedWhileLoading = 0;
};

// Factory name "TestResource". Keys: "file", "archive", "fail" (error code
// the load ends with), "delay" (milliseconds the load takes), "silent" (the
// load sets neither loaded nor an error).
class FakeResource : public Qmv2::ResourceObject {
public:
    explicit FakeResource(Qmv2::PropertyNode* description) : ResourceObject(description)
    {
        const Qmv2::PropertyNode* node = Qmv2::PropertyNode::AsNode(description);
        m_Fail = node->HasChild("fail") ? node->GetValue("fail")->GetInt() : kErrorNone;
        m_Delay = node->GetValue("delay")->GetInt();
        m_Silent = node->GetValue("silent")->GetBool();
    }
    explicit FakeResource(const std::string& file) : ResourceObject(file) {}
    ~FakeResource() override { FakeLoads::Get().Destroyed(GetFileName()); }

    void Load() override
    {
        FakeLoads::Get().Begin(GetFileName());
        if (m_Delay > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(m_Delay));
        }
        if (m_Fail != kErrorNone) {
            SetError(m_Fail);
        } else if (!m_Silent) {
            SetLoaded();
        }
        FakeLoads::Get().End(GetFileName());
    }
    BaseObject* GetContent() override { return this; }

    static void Register() { Qmv2::ObjectFactory::GetInstance()->Register<FakeResource>("TestResource"); }

private:
    std::int32_t m_Fail = kErrorNone;
    std::int32_t m_Delay = 0;
    bool m_Silent = false;
};

}  // namespace QmvTest
