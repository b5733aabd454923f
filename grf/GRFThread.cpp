// GRFThread: start/stop of the single worker thread and the stop flag it polls.
#include "grf/GRFThread.h"

#include <pthread.h>

#include <chrono>
#include <memory>

namespace GRF {

GRFThread::GRFThread()
    : _stop_flag(0)
    , _thread(nullptr)
{
}

GRFThread::~GRFThread()
{
    // Qualified: the subclass part is already gone, so its set_stop_flag must not be reached.
    GRFThread::stop();
}

int GRFThread::set_stop_flag()
{
    _stop_flag.store(1);
    return 0;
}

int GRFThread::start()
{
    if (_thread)
        return -1;
    _stop_flag.store(0);
    // A failing thread creation throws std::system_error; the unique_ptr releases the allocation.
    auto worker = std::make_unique<std::thread>([this] { run(); });
    _thread = worker.release();
    if (!_thread_name.empty())
        pthread_setname_np(_thread->native_handle(), _thread_name.c_str());
    return 0;
}

int GRFThread::stop()
{
    if (!_thread)
        return -1;
    set_stop_flag();
    _thread->join();
    delete _thread;
    _thread = nullptr;
    _stop_flag.store(0);
    return 0;
}

void GRFThread::sleep(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace GRF
