// The target simulator for benchmarks: started once with a root directory
// and extra arguments, on a free port of 127.0.0.1, ended with the object.
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

private:
    int pid_ = -1;
    std::string host_;
};

// A simulator on an empty temporary root, started at the first call and
// ended at exit.
BenchSimulator &emptyRootSimulator();
