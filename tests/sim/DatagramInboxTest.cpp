#include "sim/DatagramInbox.h"

#include <gtest/gtest.h>
#include <poll.h>

namespace mervane::sim {
namespace {

bool readable(int fd) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0;
}

TEST(DatagramInbox, ReadableExactlyWhileDatagramsWaitAndBoundedWhenFull) {
    DatagramInbox inbox;
    sockaddr_in source{};
    const std::vector<uint8_t> bytes{0, 0, 0, 0xF6};
    EXPECT_FALSE(inbox.push(bytes, source)) << "taken before open()";
    ASSERT_TRUE(inbox.open());
    EXPECT_FALSE(readable(inbox.fd()));
    for (size_t i = 0; i < DatagramInbox::kCapacity; ++i) {
        source.sin_port = static_cast<in_port_t>(i);
        EXPECT_TRUE(inbox.push(bytes, source)) << i;
    }
    EXPECT_FALSE(inbox.push(bytes, source)) << "taken beyond the capacity";
    for (size_t i = 0; i < DatagramInbox::kCapacity; ++i) {
        EXPECT_TRUE(readable(inbox.fd())) << i;
        const auto oldest = inbox.take();
        ASSERT_TRUE(oldest);
        EXPECT_EQ(oldest->source.sin_port, i);
        EXPECT_EQ(oldest->bytes, bytes);
    }
    EXPECT_FALSE(readable(inbox.fd()));
    EXPECT_FALSE(inbox.take());

    EXPECT_TRUE(inbox.push(bytes, source));
    inbox.close();
    EXPECT_EQ(inbox.fd(), -1);
    EXPECT_FALSE(inbox.take()) << "kept across close()";
    EXPECT_FALSE(inbox.push(bytes, source));
}

}  // namespace
}  // namespace mervane::sim
