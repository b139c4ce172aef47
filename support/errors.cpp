#include "support/errors.h"

#include <iomanip>
#include <iostream>

Errors error_log;
const char* log_file_name = "mirbo.log";
thread_local std::ostream* log_stream = nullptr;

namespace {
thread_local std::ostream* console_stream = nullptr;
thread_local MessageCapture* message_capture = nullptr;
} // namespace

std::ostream& console() {
    return console_stream != nullptr ? *console_stream : std::cout;
}

void set_console(std::ostream* stream) {
    console_stream = stream;
}

ScopedConsole::ScopedConsole(std::ostream* stream) : _previous(console_stream) {
    console_stream = stream;
}

ScopedConsole::~ScopedConsole() {
    console_stream = _previous;
}

void set_message_capture(MessageCapture* capture) {
    message_capture = capture;
}

void MessageCapture::replay(std::ostream& log) {
    for (const Event& event : events) {
        log << event.text_before;
        error_log.report(event.text, event.level);
    }
    log << progress.str();
}

void Errors::open(const char* file_name) {
    file.open(file_name, std::ios::out | std::ios::trunc);
    out = &file;
    opened = 1;
}

void Errors::open(std::ostream* target) {
    static std::ostream lost(nullptr);
    out = target != nullptr ? target : &lost;
    opened = 1;
}

std::ostream* Errors::redirect(std::ostream* target) {
    std::ostream* previous = out;
    out = target;
    return previous;
}

void Errors::report(const std::string& text, int level) {
    if (message_capture != nullptr) {
        MessageCapture& capture = *message_capture;
        capture.events.push_back({capture.progress.str(), text, level});
        capture.progress.str("");
        if (level == kFatal) {
            throw FatalError(text);
        }
        return;
    }
    if (opened == 0) {
        return;
    }
    const bool repeated = (text == count.previous) && level != kWarning;
    count.previous = text;
    std::ostream& os = *out;
    os << std::setfill('*') << std::setw(4) << count.message++;
    switch (level) {
    case kWarning:
        os << "::WARNING[" << count.warning++ << "]";
        break;
    case kContinuation:
        os << "\t...";
        break;
    case kInfo:
        os << "::INFO :";
        break;
    case kFatal:
        break;
    default:
        os << "::ERROR[" << count.error++ << "]";
        break;
    }
    if (!repeated) {
        os << text;
    }
    os << std::endl;
    if (level == kFatal) {
        std::cout.flush();
        if (fatal_flush != nullptr) {
            fatal_flush->flush();
        }
        throw FatalError(text);
    }
}

void fatal_input_error(const std::string& text, const std::string& hint) {
    console() << text << "\n";
    if (!hint.empty()) {
        console() << hint << "\n";
    }
    console().flush();
    error_log.report(text, Errors::kFatal);
    throw FatalError(text); // not reached: a fatal report throws
}
