#include "bench/ScratchDirectory.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>
#include <system_error>

namespace mervane::bench {

ScratchDirectory::ScratchDirectory(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + ".XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a scratch directory");
    }
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDirectory::write(const std::string& name, const std::string& text) const {
    const std::string path = file(name);
    std::ofstream out(path);
    out << text;
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
    return path;
}

}  // namespace mervane::bench
