#pragma once

#include <filesystem>
#include <string>

namespace mervane::bench {

// A directory of its own under the system's temporary directory ($TMPDIR or /tmp), removed with
// everything in it when this ends. Throws std::runtime_error when it cannot be made.
class ScratchDirectory {
  public:
    explicit ScratchDirectory(const std::string& prefix);
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    // The path of `name` inside it.
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Writes `text` to `name` and returns its path; throws std::runtime_error when it cannot.
    std::string write(const std::string& name, const std::string& text) const;

  private:
    std::filesystem::path path_;
};

}  // namespace mervane::bench
