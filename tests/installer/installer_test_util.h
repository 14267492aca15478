// The installer's tests use the shared helpers of tests/common.
#pragma once

#include "common/test_support.h"
