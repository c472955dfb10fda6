#include "schedule_file.h"

namespace velmo {} // namespace velmo
