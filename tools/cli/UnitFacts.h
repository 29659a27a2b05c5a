#pragma once

#include "fleet/Profile.h"

namespace mervane::cli {

using fleet::unitDescription;

}  // namespace mervane::cli
