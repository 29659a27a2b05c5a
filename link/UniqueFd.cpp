#include "link/UniqueFd.h"

#include <unistd.h>

namespace mervane {

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

}  // namespace mervane
