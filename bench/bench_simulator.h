// The target simulator for benchmarks: started once with a root directory
// and extra arguments, on a free port of 127.0.0.1, ended with the object;
// and a page of process points read from it.
#pragma once
#include <string>
#include <vector>

class BenchSimulator {
public:
    BenchSimulator(const std::string &root, const std::vector<std::string> &extraArgs);
    ~BenchSimulator();
    BenchSimulator(const BenchSimulator &) = delete;
    BenchSimulator &operator=(const BenchSimulator &) = delete;
    const std::string &host() const { return host_; } // "127.0.0.1:PORT"
    double cpuSeconds() const;                        // its processor time so far, user and system

private:
    int pid_ = -1;
    std::string host_;
};

// A simulator on an empty temporary root that waits answerMs before every
// reply (as a controller's web server takes its time), started at the first
// call for that time and ended at exit.
BenchSimulator &emptyRootSimulator(int answerMs = 0);

// A page of points process points ("Plant.Point0000" on) read from target,
// keep-alive on or off, its first cycle (the order) done: false when that
// cycle failed.
bool openPointsPage(const BenchSimulator &target, int points, int keepAlive);
void closePointsPage();
