#include "settings.h"

namespace velmo {} // namespace velmo
