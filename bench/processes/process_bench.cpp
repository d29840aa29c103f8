// Process benchmark: fairness of the global lock among 2, 10 and 100 counting
// processes, the time stopall takes to end 100 running processes, and lock hand-offs
// per second. Prints the numbers; it checks nothing.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "engine.h"
#include "global_lock.h"
#include "name_codes.h"
#include "platform/thread.h"
#include "process.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Starts n processes, each counting in its own global variable in a forever loop.
void startCounters(qm::Engine& engine, int n) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        const std::string v = "c" + std::to_string(i);
        text += "make \"" + v + " 0 (forever [make \"" + v + " :" + v + " + 1] \"w" + std::to_string(i) + ") ";
    }
    engine.runInMain([&engine, text](qm::ProcessContext& cx) { engine.runInstructionsIn(cx, text); }, true);
}

std::vector<long> counts(qm::Engine& engine, int n) {
    qm::LockedScope locked;
    std::vector<long> out;
    for (int i = 0; i < n; ++i)
        out.push_back(engine.mainObject().variables.Get(qm::nameCodes().intern("c" + std::to_string(i)))->ToInt());
    return out;
}

void fairness(qm::Engine& engine, int n, double seconds) {
    startCounters(engine, n);
    const uint64_t handOffs = qm::globalLock().handOffs();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    std::vector<long> c = counts(engine, n);
    const double elapsed = secondsSince(t0);
    const double perSecond = (qm::globalLock().handOffs() - handOffs) / elapsed;
    engine.stopProcesses();
    double sum = 0;
    for (long v : c) sum += v;
    const double mean = sum / n;
    const double lo = *std::min_element(c.begin(), c.end()) / mean;
    const double hi = *std::max_element(c.begin(), c.end()) / mean;
    std::printf("%3d processes, %.1f s: mean count %.0f, min %.2fx, max %.2fx of the mean (%s); "
                "%.0f hand-offs/s; %.0f list runs/s in all\n",
                n, elapsed, mean, lo, hi, lo >= 0.5 && hi <= 2.0 ? "within 2x" : "OUTSIDE 2x", perSecond,
                sum / elapsed);
}

void stopAllTime(qm::Engine& engine, int n) {
    startCounters(engine, n);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto t0 = Clock::now();
    // stopall as a process runs it: ask every process, then wait for each.
    engine.runInMain([&engine](qm::ProcessContext& cx) { engine.runInstructionsIn(cx, "stopall"); }, true);
    const double ms = secondsSince(t0) * 1000;
    std::printf("stopall of %d running processes: %.1f ms (goal < 100 ms); %zu left\n", n, ms,
                qm::processes().count());
    engine.stopProcesses();
}

// The lock alone: two plain threads that do nothing but yield to each other.
void rawHandOffs(double seconds) {
    std::atomic<bool> stop{false};
    const uint64_t before = qm::globalLock().handOffs();
    auto body = [&] {
        qm::globalLock().lock();
        while (!stop.load(std::memory_order_relaxed)) qm::globalLock().yield();
        qm::globalLock().unlock();
    };
    const auto t0 = Clock::now();
    std::thread a(body), b(body);
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    a.join();
    b.join();
    std::printf("lock alone, 2 threads yielding: %.0f hand-offs/s\n",
                (qm::globalLock().handOffs() - before) / secondsSince(t0));
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    int status = 0;
    qm::platform::runOnLargeStack([&] {
        qm::Engine engine;
        std::string error;
        if (!engine.start("english", error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            status = 1;
            return;
        }
        std::printf("cores: %u\n", std::thread::hardware_concurrency());
        rawHandOffs(seconds);
        for (int n : {2, 10, 100}) fairness(engine, n, seconds);
        stopAllTime(engine, 100);
    });
    return status;
}
