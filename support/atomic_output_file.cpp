#include "support/atomic_output_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <random>
#include <streambuf>

namespace {

std::string reason_of(int error) {
    return std::strerror(error);
}

// The temporary files the signal handler removes. The handler may only read
// plain memory and call unlink, so each slot holds a copy of the path, and
// `armed` says that the copy is complete and the file still to be removed.
struct Slot {
    std::atomic<bool> claimed{false};
    std::atomic<bool> armed{false};
    char path[PATH_MAX] = {};
};
constexpr int kSlots = 32;
Slot slots[kSlots];
static_assert(std::atomic<bool>::is_always_lock_free);

int arm(const std::string& path) {
    if (path.size() >= PATH_MAX) {
        return -1;
    }
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (slots[i].claimed.compare_exchange_strong(expected, true)) {
            std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
            slots[i].armed.store(true);
            return i;
        }
    }
    return -1;
}

void disarm(int slot) {
    if (slot >= 0) {
        slots[slot].armed.store(false);
        slots[slot].claimed.store(false);
    }
}

extern "C" void remove_temporaries_and_die(int signal_number) {
    const int saved = errno;
    for (Slot& slot : slots) {
        if (slot.armed.load()) {
            ::unlink(slot.path);
        }
    }
    errno = saved;
    // SA_RESETHAND restored the default action; the signal is blocked while
    // this handler runs, so it ends the process as soon as the handler returns.
    ::raise(signal_number);
}

// Twelve characters from 32, drawn from the kernel: a name nobody can plant.
std::string random_suffix() {
    unsigned char bytes[12];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (errno != EINTR) {
            std::random_device device;
            for (unsigned char& b : bytes) {
                b = static_cast<unsigned char>(device());
            }
            break;
        }
    }
    const char* const alphabet = "abcdefghijklmnopqrstuvwxyz234567";
    std::string suffix;
    for (unsigned char b : bytes) {
        suffix += alphabet[b % 32];
    }
    return suffix;
}

// The file a write to `target` reaches: a symbolic link is followed.
std::string resolved(const std::string& target) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::error_code failed;
        const std::filesystem::path real = std::filesystem::canonical(target, failed);
        if (!failed) {
            return real.string();
        }
    }
    return target;
}

} // namespace

OutputError::OutputError(const std::string& file, const std::string& reason)
    : std::runtime_error("cannot write " + file + ": " + reason), _reason(reason) {}

void check_output_target(const std::string& target, const std::vector<std::string>& inputs) {
    struct stat out {};
    if (::stat(target.c_str(), &out) != 0) {
        return; // nothing there yet: the temporary file's creation decides
    }
    if (S_ISDIR(out.st_mode)) {
        throw OutputError(target, "it is a directory");
    }
    if (!S_ISREG(out.st_mode)) {
        throw OutputError(target, "it is not a regular file (a FIFO, a device or a socket)");
    }
    for (const std::string& input : inputs) {
        struct stat in {};
        if (::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
            throw OutputError(target, "it is the input file " + input);
        }
    }
    if ((out.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0) {
        throw OutputError(target, "the file is read-only");
    }
}

// Buffered writes to a file descriptor that remember the first error.
class AtomicOutputFile::Buffer : public std::streambuf {
  public:
    explicit Buffer(int fd) : _fd(fd) { setp(_data, _data + sizeof _data); }
    ~Buffer() override { close_fd(); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;

    int error() const { return _error; }

    // Syncs and closes; false (error() set) on failure.
    bool close_fd() {
        if (_fd < 0) {
            return _error == 0;
        }
        drain();
        // fsync: a rename must never put a file in place whose data the
        // disk has not taken (a full or failing disk shows here, too).
        if (_error == 0 && ::fsync(_fd) != 0 && errno != EINVAL && errno != EROFS) {
            _error = errno;
        }
        if (::close(_fd) != 0 && _error == 0 && errno != EINTR) {
            _error = errno;
        }
        _fd = -1;
        return _error == 0;
    }

  protected:
    int_type overflow(int_type c) override {
        if (!drain()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return drain() ? 0 : -1; }

  private:
    bool drain() {
        const char* p = pbase();
        while (_error == 0 && p < pptr()) {
            const ssize_t n = ::write(_fd, p, static_cast<std::size_t>(pptr() - p));
            if (n > 0) {
                p += n;
            } else if (n < 0 && errno != EINTR) {
                _error = errno;
            }
        }
        setp(_data, _data + sizeof _data);
        return _error == 0;
    }

    int _fd;
    int _error = 0;
    char _data[1 << 16];
};

AtomicOutputFile::AtomicOutputFile(const std::string& target) : _name(target) {
    const std::filesystem::path real(resolved(target));
    const std::string folder = real.parent_path().string();
    const std::string prefix =
        (folder.empty() ? "" : folder + "/") + "." + real.filename().string() + ".tmp-";
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        _temporary = prefix + random_suffix();
        // Armed before it exists, so that no moment leaves it behind; a name
        // already taken (EEXIST) is disarmed at once.
        _slot = arm(_temporary);
        fd = ::open(_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            const int error = errno;
            disarm(_slot);
            _slot = -1;
            if (error != EEXIST) {
                throw OutputError(target, reason_of(error));
            }
        }
    }
    if (fd < 0) {
        throw OutputError(target, "no free temporary file name");
    }
    // A file that is replaced keeps its permissions.
    struct stat st {};
    if (::stat(real.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        ::fchmod(fd, st.st_mode & 07777);
    }
    _target = real.string();
    _buffer = std::make_unique<Buffer>(fd);
    _stream = std::make_unique<std::ostream>(_buffer.get());
}

AtomicOutputFile::~AtomicOutputFile() {
    discard();
}

std::ostream& AtomicOutputFile::stream() {
    return *_stream;
}

bool AtomicOutputFile::finish() {
    if (!_finished) {
        _finished = true;
        _stream->flush();
        const bool closed = _buffer->close_fd();
        if (!closed || !*_stream) {
            _error = reason_of(_buffer->error() != 0 ? _buffer->error() : EIO);
        }
    }
    return _error.empty();
}

void AtomicOutputFile::commit() {
    if (!finish()) {
        discard();
        throw OutputError(_name, _error);
    }
    if (::rename(_temporary.c_str(), _target.c_str()) != 0) {
        _error = reason_of(errno);
        discard();
        throw OutputError(_name, _error);
    }
    disarm(_slot);
    _slot = -1;
    _done = true;
}

void AtomicOutputFile::discard() {
    if (_done) {
        return;
    }
    _done = true;
    if (_buffer) {
        _buffer->close_fd();
    }
    ::unlink(_temporary.c_str());
    disarm(_slot);
    _slot = -1;
}

void remove_temporaries_on_signal() {
    for (const int signal_number : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction current {};
        if (::sigaction(signal_number, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = remove_temporaries_and_die;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        ::sigaction(signal_number, &action, nullptr);
    }
}

SignalsHeld::SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    sigaddset(&held, SIGINT);
    sigaddset(&held, SIGTERM);
    sigaddset(&held, SIGHUP);
    ::pthread_sigmask(SIG_BLOCK, &held, &_previous);
}

SignalsHeld::~SignalsHeld() {
    ::pthread_sigmask(SIG_SETMASK, &_previous, nullptr);
}
