// Kept for the tests that still include it: everything is in tests/support/host_fixture.h.
#pragma once

#include "tests/support/host_fixture.h"
