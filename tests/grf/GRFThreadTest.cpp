// GRFThread: worker lifecycle, stop flag, destruction while running, sleep bounds and thread naming.
#include "grf/GRFThread.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <string>

namespace {

// Counts run() calls and polls the stop flag until it is set.
class PollingThread : public GRF::GRFThread {
public:
    ~PollingThread() override { stop(); }
    void run() override
    {
        runs.fetch_add(1);
        while (_stop_flag.load() == 0)
            GRF::GRFThread::sleep(1);
        saw_stop.store(true);
    }
    int stop_flag() const { return _stop_flag.load(); }

    std::atomic<int> runs{0};
    std::atomic<bool> saw_stop{false};
};

// Records the worker's name as the platform reports it once the test lets it look: by then start()
// has returned, and a name set at all must have been applied.
class NamingThread : public GRF::GRFThread {
public:
    explicit NamingThread(const std::string& name) { _thread_name = name; }
    ~NamingThread() override { stop(); }
    void run() override
    {
        while (!look.load())
            GRF::GRFThread::sleep(1);
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof(name));
        seen_name = name;
    }
    static constexpr const char* kInheritedName = "grf-parent";
    std::atomic<bool> look{false};
    std::string seen_name;
};

// Leaves stopping to the base destructor; the test lets run() finish first, because the worker
// reaches run() through the object's virtual table.
class BaseStoppedThread : public GRF::GRFThread {
public:
    explicit BaseStoppedThread(std::atomic<bool>& finished)
        : _finished(finished) {}
    void run() override { _finished.store(true); }

private:
    std::atomic<bool>& _finished;
};

void wait_for(const std::atomic<bool>& flag)
{
    for (int i = 0; i < 5000 && !flag.load(); ++i)
        GRF::GRFThread::sleep(1);
}

} // namespace

TEST(GRFThread, StartTwiceKeepsOneWorker)
{
    PollingThread thread;
    EXPECT_EQ(thread.start(), 0);
    EXPECT_EQ(thread.start(), -1);
    EXPECT_EQ(thread.stop(), 0);
    EXPECT_EQ(thread.runs.load(), 1);
    EXPECT_TRUE(thread.saw_stop.load());
}

TEST(GRFThread, StopWithoutWorkerFails)
{
    PollingThread thread;
    EXPECT_EQ(thread.stop(), -1);
    EXPECT_EQ(thread.stop_flag(), 0);
}

TEST(GRFThread, StopJoinsPollingWorkerAndClearsFlag)
{
    PollingThread thread;
    ASSERT_EQ(thread.start(), 0);
    EXPECT_EQ(thread.stop(), 0);
    EXPECT_TRUE(thread.saw_stop.load()) << "stop() returned before run() did";
    EXPECT_EQ(thread.stop_flag(), 0);
    EXPECT_EQ(thread.stop(), -1);
}

TEST(GRFThread, SetStopFlagAloneEndsPollingRun)
{
    PollingThread thread;
    ASSERT_EQ(thread.start(), 0);
    EXPECT_EQ(thread.set_stop_flag(), 0);
    EXPECT_EQ(thread.stop_flag(), 1);
    for (int i = 0; i < 5000 && !thread.saw_stop.load(); ++i)
        GRF::GRFThread::sleep(1);
    EXPECT_TRUE(thread.saw_stop.load());
    EXPECT_EQ(thread.stop(), 0);
}

TEST(GRFThread, StoppedObjectStartsAgain)
{
    PollingThread thread;
    ASSERT_EQ(thread.start(), 0);
    ASSERT_EQ(thread.stop(), 0);
    ASSERT_EQ(thread.start(), 0);
    ASSERT_EQ(thread.stop(), 0);
    EXPECT_EQ(thread.runs.load(), 2);
}

TEST(GRFThread, DestructorJoinsFinishedWorker)
{
    std::atomic<bool> finished{false};
    {
        BaseStoppedThread thread(finished);
        ASSERT_EQ(thread.start(), 0);
        wait_for(finished);
        // Leaving the scope must join: a joinable std::thread would terminate the process.
    }
    EXPECT_TRUE(finished.load());
}

TEST(GRFThread, DestroyingRunningObjectJoinsIt)
{
    // A subclass whose run() touches its own part must stop in its own destructor; the base
    // destructor's stop() only covers workers that no longer need the subclass.
    auto* thread = new PollingThread;
    ASSERT_EQ(thread->start(), 0);
    while (thread->runs.load() == 0)
        GRF::GRFThread::sleep(1);
    delete thread;
    SUCCEED() << "a joinable std::thread left behind would have terminated the process";
}

TEST(GRFThread, SleepBounds)
{
    using clock = std::chrono::steady_clock;
    auto begin = clock::now();
    // Zero and negative times return at once; the bound is far above any scheduling delay and far
    // below the ten seconds a negative time read as its magnitude (or as unsigned) would take.
    GRF::GRFThread::sleep(0);
    GRF::GRFThread::sleep(-10000);
    EXPECT_LT(clock::now() - begin, std::chrono::seconds(5));

    begin = clock::now();
    GRF::GRFThread::sleep(20);
    EXPECT_GE(clock::now() - begin, std::chrono::milliseconds(20));
}

TEST(GRFThread, NameIsAppliedOnlyWhenSet)
{
    pthread_setname_np(pthread_self(), NamingThread::kInheritedName);

    NamingThread named("SrRenderAndroid");
    ASSERT_EQ(named.start(), 0);
    named.look.store(true);
    ASSERT_EQ(named.stop(), 0);
    EXPECT_EQ(named.seen_name, "SrRenderAndroid");

    // With no name, the worker keeps the name it inherited from its creator: no naming call cleared it.
    NamingThread unnamed("");
    ASSERT_EQ(unnamed.start(), 0);
    unnamed.look.store(true);
    ASSERT_EQ(unnamed.stop(), 0);
    EXPECT_EQ(unnamed.seen_name, NamingThread::kInheritedName);
}
