// Compiles nothing of its own: the target that makes the tests' precompiled header.
#include "tests/support/TestHeaders.h"
