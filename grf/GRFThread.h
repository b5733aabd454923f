// GRFThread: owns at most one worker thread that runs the subclass's run(), with an atomic stop flag.
#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "grf/GRFExport.h"

namespace GRF {

class GRF_EXPORT GRFThread {
public:
    GRFThread();
    // Stops and joins a running worker before the object goes away.
    virtual ~GRFThread();

    GRFThread(const GRFThread&) = delete;
    GRFThread& operator=(const GRFThread&) = delete;

    // The body executed on the worker thread.
    virtual void run() = 0;
    // Requests the stop: stores 1 into the flag. Returns 0.
    virtual int set_stop_flag();

    // Starts the worker. Returns -1 when one already exists, 0 otherwise.
    int start();
    // Requests the stop and joins the worker. Returns -1 when there is no worker.
    // Must not be called from the worker itself.
    int stop();

    // Blocks the calling thread; zero or negative returns at once.
    static void sleep(int milliseconds);

protected:
    // 0 = keep running, 1 = stop requested; run() of a polling subclass reads it.
    std::atomic<int> _stop_flag;
    // Applied to the worker by start() when not empty.
    std::string _thread_name;

private:
    std::thread* _thread;
};

} // namespace GRF
