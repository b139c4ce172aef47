#!/bin/bash
# Slurm job: the simulation test of study.mbd on 8 nodes of 16 cores, one
# tovaquor-mpi rank per node with a worker thread per core. Submit from the
# folder that holds study.mbd: `sbatch path/to/cluster-job.sh`.
# With PBS: `#PBS -l select=8:ncpus=16:mpiprocs=1` in place of the #SBATCH
# lines, and `mpirun` in place of `srun`.
#SBATCH --job-name=tovaquor
#SBATCH --nodes=8
#SBATCH --ntasks-per-node=1
#SBATCH --cpus-per-task=16
#SBATCH --time=04:00:00
export TOVAQUOR_THREADS=$SLURM_CPUS_PER_TASK
cd "$SLURM_SUBMIT_DIR"          # BASE.mbd is here; BASE.mbr and mirbo.log go here
srun build-mpi/cluster/tovaquor-mpi study 2026
