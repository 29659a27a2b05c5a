#include "tools/cli/CheckedOutput.h"

#include <unistd.h>

#include <cerrno>

namespace mervane::cli {

CheckedOutput::CheckedOutput(int fd) : fd_(fd) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

CheckedOutput::~CheckedOutput() {
    writeOut();
}

bool CheckedOutput::writeOut() {
    const char* next = pbase();
    while (error_ == 0 && next < pptr()) {
        const ssize_t n = ::write(fd_, next, static_cast<size_t>(pptr() - next));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error_ = n < 0 ? errno : EIO;
            break;
        }
        next += n;
    }
    // After a failure the rest is dropped: nothing more reaches that descriptor anyway.
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return error_ == 0;
}

CheckedOutput::int_type CheckedOutput::overflow(int_type c) {
    if (!writeOut()) return traits_type::eof();
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
    return c;
}

int CheckedOutput::sync() {
    return writeOut() ? 0 : -1;
}

}  // namespace mervane::cli
