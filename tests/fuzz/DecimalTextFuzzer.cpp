// The panel's and the command line's number reading against the C library's own reading of the
// same text, wherever that is defined (within the 32-bit range).

#include <cerrno>
#include <cstdlib>
#include <string>

#include "ui/DecimalText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const int32_t value = mervane::parseDecimalInt32(text);
    // strtoll stops at the first NUL as the C library would; the parser sees the whole text, so
    // compare only texts without one.
    if (text.find('\0') != std::string::npos) return 0;
    errno = 0;
    const long long reference = std::strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || reference > INT32_MAX || reference < INT32_MIN) {
        if (value != (reference < 0 ? INT32_MIN : INT32_MAX)) std::abort();
    } else if (value != reference) {
        std::abort();
    }
    return 0;
}
