#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorlan {

// The processes mpirun started, as the coordinated tests use them: every call but rank, size and
// host is collective (every rank makes it, in the same order). A collective call that fails (a
// rank has died) ends the whole job through MPI after a message on standard error; MPI calls
// never return an error to the rest of the program.
class MpiWorld {
public:
    // MPI_Init; errors of collective calls come back to us instead of ending the job silently.
    MpiWorld(int &argc, char **&argv);
    ~MpiWorld(); // MPI_Finalize
    MpiWorld(const MpiWorld &) = delete;
    MpiWorld &operator=(const MpiWorld &) = delete;

    int rank() const { return rank_; }
    int size() const { return size_; }
    // The name of the host this rank runs on.
    const std::string &host() const { return host_; }

    // The largest of the value over every rank.
    int largest(int mine);
    // Every rank's values in rank order, on every rank; each rank gives as many.
    std::vector<double> gatherEverywhere(const std::vector<double> &mine);
    // Rank 0's value on every rank.
    std::uint64_t fromRankZero(std::uint64_t value);
    // On rank 0, every rank's text in rank order; elsewhere nothing.
    std::vector<std::string> gatherAtRankZero(const std::string &mine);

private:
    // Ends the job when a call did not succeed.
    void check(int code, const char *call);

    int rank_ = 0;
    int size_ = 1;
    std::string host_;
};

} // namespace quorlan
