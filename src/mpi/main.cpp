// quorlan-bench-mpi: quorlan-bench on every rank mpirun starts, the multi-file tests coordinated
// across them on one shared volume.
#include "mpi/MpiCommandLine.h"
#include "mpi/MpiWorld.h"

#include <QCoreApplication>

int main(int argc, char **argv) {
    quorlan::MpiWorld world(argc, argv);
    QCoreApplication app(argc, argv);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return quorlan::runMpiCommandLine(world, arguments);
}
