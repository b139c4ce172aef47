#pragma once

#include <signal.h>

#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

// An output that could not be written: the message is "cannot write FILE:
// reason".
class OutputError : public std::runtime_error {
  public:
    OutputError(const std::string& file, const std::string& reason);
    const std::string& reason() const { return _reason; }

  private:
    std::string _reason;
};

// Refuses, by throwing OutputError, an output name that already holds
// something the program must not replace: a directory, a FIFO, a device or
// any other file that is not a regular one, a file without write permission
// (even for root), or one of `inputs` under any name (same device and inode).
void check_output_target(const std::string& target, const std::vector<std::string>& inputs = {});

// A file written whole or not at all. The content goes to a temporary file
// beside the target, created exclusively under an unpredictable name
// (".NAME.tmp-XXXXXXXXXXXX"), and is renamed over the target only by commit().
// Until then the temporary file is removed by the destructor and, once
// remove_temporaries_on_signal() was called, by SIGINT, SIGTERM and SIGHUP.
// A symbolic link at the target is followed, as writing through it would.
class AtomicOutputFile {
  public:
    // Throws OutputError naming the target when the temporary file cannot
    // be created.
    explicit AtomicOutputFile(const std::string& target);
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    std::ostream& stream();
    // The name given, which every message uses.
    const std::string& target() const { return _name; }
    const std::string& temporary() const { return _temporary; }

    // Writes out what is buffered, syncs and closes the temporary file;
    // false when any write failed (error() then says why). Idempotent.
    bool finish();
    // The reason of the first failure, or "".
    const std::string& error() const { return _error; }
    // Renames the finished file over the target; throws OutputError.
    void commit();
    // Removes the temporary file; the target is left as it was.
    void discard();

  private:
    class Buffer;
    std::string _name;
    std::string _target; // where the rename goes: the name with its link followed
    std::string _temporary;
    std::unique_ptr<Buffer> _buffer;
    std::unique_ptr<std::ostream> _stream;
    std::string _error;
    int _slot = -1; // in the table the signal handler reads
    bool _finished = false;
    bool _done = false; // committed or discarded
};

// Installs handlers for SIGINT, SIGTERM and SIGHUP (a closed terminal) that
// remove every temporary file of an AtomicOutputFile not yet committed, then
// end the process by the same signal. A signal the process was started
// ignoring stays ignored.
void remove_temporaries_on_signal();

// Holds those signals back while it lives, so that the renames of a set
// of outputs all happen; a signal that came meanwhile is delivered after.
class SignalsHeld {
  public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

  private:
    sigset_t _previous;
};
