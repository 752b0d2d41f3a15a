#include "mpi/MpiWorld.h"

#include <mpi.h>

#include <cstdio>

namespace quorlan {

MpiWorld::MpiWorld(int &argc, char **&argv) {
    MPI_Init(&argc, &argv);
    MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
    char name[MPI_MAX_PROCESSOR_NAME] = {};
    int length = 0;
    MPI_Get_processor_name(name, &length);
    host_.assign(name, static_cast<std::size_t>(length));
}

MpiWorld::~MpiWorld() {
    MPI_Finalize();
}

void MpiWorld::check(int code, const char *call) {
    if (code == MPI_SUCCESS)
        return;
    char reason[MPI_MAX_ERROR_STRING] = {};
    int length = 0;
    MPI_Error_string(code, reason, &length);
    std::fprintf(stderr,
                 "quorlan-bench-mpi: rank %d on %s: %s failed (%s): a rank has stopped; the job "
                 "ends.\n",
                 rank_, host_.c_str(), call, reason);
    MPI_Abort(MPI_COMM_WORLD, 1);
}

int MpiWorld::largest(int mine) {
    int all = 0;
    check(MPI_Allreduce(&mine, &all, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD), "MPI_Allreduce");
    return all;
}

std::vector<double> MpiWorld::gatherEverywhere(const std::vector<double> &mine) {
    std::vector<double> all(mine.size() * static_cast<std::size_t>(size_));
    const int count = static_cast<int>(mine.size());
    check(MPI_Allgather(mine.data(), count, MPI_DOUBLE, all.data(), count, MPI_DOUBLE,
                        MPI_COMM_WORLD),
          "MPI_Allgather");
    return all;
}

std::uint64_t MpiWorld::fromRankZero(std::uint64_t value) {
    check(MPI_Bcast(&value, 1, MPI_UINT64_T, 0, MPI_COMM_WORLD), "MPI_Bcast");
    return value;
}

std::vector<std::string> MpiWorld::gatherAtRankZero(const std::string &mine) {
    const int length = static_cast<int>(mine.size());
    std::vector<int> lengths(rank_ == 0 ? static_cast<std::size_t>(size_) : 0);
    check(MPI_Gather(&length, 1, MPI_INT, lengths.data(), 1, MPI_INT, 0, MPI_COMM_WORLD),
          "MPI_Gather");
    std::vector<int> offsets(lengths.size());
    std::string all;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        offsets[i] = static_cast<int>(all.size());
        all.resize(all.size() + static_cast<std::size_t>(lengths[i]));
    }
    check(MPI_Gatherv(mine.data(), length, MPI_CHAR, all.data(), lengths.data(), offsets.data(),
                      MPI_CHAR, 0, MPI_COMM_WORLD),
          "MPI_Gatherv");
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < lengths.size(); ++i)
        texts.push_back(
            all.substr(static_cast<std::size_t>(offsets[i]), static_cast<std::size_t>(lengths[i])));
    return texts;
}

} // namespace quorlan
