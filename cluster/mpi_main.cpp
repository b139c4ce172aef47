// tovaquor-mpi: the program run as an MPI job. Rank 0 is the program itself,
// reading the data file and writing every output; the other ranks only
// analyse what rank 0 sends them (simulated samples, bootstrap replicates,
// whole observed samples), and write nothing.
#include <mpi.h>

#include <cstdint>
#include <exception>
#include <iostream>

#include "app/bootstrap.h"
#include "app/entry.h"
#include "app/observed_sample.h"
#include "app/options.h"
#include "app/sample_batch.h"
#include "app/simulation.h"
#include "cluster/mpi_analyser.h"

namespace {

// The status of a job that MPI itself failed.
constexpr int kMpiFailure = 3;

} // namespace

int main(int argc, char** argv) {
    int provided = 0;
    // Only each rank's main thread talks to MPI; worker threads analyse.
    if (MPI_Init_thread(&argc, &argv, MPI_THREAD_FUNNELED, &provided) != MPI_SUCCESS) {
        std::cerr << "tovaquor-mpi: MPI could not be started\n";
        return kMpiFailure;
    }
    MPI_Comm_set_errhandler(MPI_COMM_WORLD, MPI_ERRORS_RETURN);
    int rank = 0;
    int ranks = 1;
    MPI_Comm_rank(MPI_COMM_WORLD, &rank);
    MPI_Comm_size(MPI_COMM_WORLD, &ranks);
    const std::int32_t threads = app::threads_from_environment();

    if (rank != 0) {
        try {
            run_mpi_worker(threads);
        } catch (const std::exception& e) {
            std::cerr << "tovaquor-mpi: rank " << rank << " stopped: " << e.what() << "\n";
            MPI_Abort(MPI_COMM_WORLD, kMpiFailure);
        }
        MPI_Finalize();
        return 0;
    }

    MpiAnalyser analyser(ranks, threads);
    if (ranks > 1) {
        set_sample_analyser(&analyser);
        set_replicate_sharer(&analyser);
        set_observed_sharer(&analyser);
    }
    const int status = tovaquor_main(argc, argv);
    set_sample_analyser(nullptr);
    set_replicate_sharer(nullptr);
    set_observed_sharer(nullptr);
    if (analyser.failed()) {
        // The other ranks may be gone or stuck: end the job as a whole.
        std::cerr << "tovaquor-mpi: ending the job after an MPI failure\n";
        MPI_Abort(MPI_COMM_WORLD, status == 0 ? kMpiFailure : status);
        return status == 0 ? kMpiFailure : status;
    }
    try {
        analyser.stop_workers();
    } catch (const std::exception& e) {
        std::cerr << "tovaquor-mpi: " << e.what() << "\n";
        MPI_Abort(MPI_COMM_WORLD, kMpiFailure);
        return kMpiFailure;
    }
    MPI_Finalize();
    return status;
}
