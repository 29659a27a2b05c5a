#pragma once

#include <array>
#include <streambuf>
#include <string_view>

namespace mervane::cli {

// Writes all of `bytes` to `fd`, again after an interruption or a short write. 0, or the errno
// of the write that failed (EIO for one that wrote nothing).
int writeWhole(int fd, std::string_view bytes);

// Standard output for the program: a stream buffer over a descriptor that keeps the error of its
// first failed write (a full disk, a closed pipe), so that the end of a run can say why its output
// was lost instead of reporting success. Written to from one thread at a time.
class CheckedOutput final : public std::streambuf {
  public:
    explicit CheckedOutput(int fd);
    ~CheckedOutput() override;
    CheckedOutput(const CheckedOutput&) = delete;
    CheckedOutput& operator=(const CheckedOutput&) = delete;

    // The errno of the first write that failed; 0 while every write has gone through.
    int error() const { return error_; }

  protected:
    int_type overflow(int_type c) override;
    int sync() override;

  private:
    bool writeOut();

    int fd_;
    int error_ = 0;
    std::array<char, 4096> buffer_{};
};

}  // namespace mervane::cli
