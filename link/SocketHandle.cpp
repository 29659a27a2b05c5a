#include "link/SocketHandle.h"

#include <unistd.h>

namespace mervane {

void SocketHandle::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

}  // namespace mervane
