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

int writeWhole(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

bool CheckedOutput::writeOut() {
    if (error_ == 0) error_ = writeWhole(fd_, {pbase(), static_cast<size_t>(pptr() - pbase())});
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
