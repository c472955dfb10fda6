#include "file_system.h"

namespace velmo {} // namespace velmo
