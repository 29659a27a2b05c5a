#pragma once

// Whether this build runs under a sanitizer that inflates resident memory on purpose (ASan's
// quarantine and shadow, TSan's shadow), so that RSS growth says nothing about leaks.
namespace mervane::soak {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr const char* kMemorySanitizer = "AddressSanitizer";
#elif defined(__SANITIZE_THREAD__)
inline constexpr const char* kMemorySanitizer = "ThreadSanitizer";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr const char* kMemorySanitizer = "AddressSanitizer";
#elif __has_feature(thread_sanitizer)
inline constexpr const char* kMemorySanitizer = "ThreadSanitizer";
#else
inline constexpr const char* kMemorySanitizer = nullptr;
#endif
#else
inline constexpr const char* kMemorySanitizer = nullptr;
#endif

inline constexpr bool kRssIsMeaningful = kMemorySanitizer == nullptr;

}  // namespace mervane::soak
