// The Wayland test session now lives with the other test harnesses in tests/support.
#pragma once

#include "tests/support/WaylandSession.h"
