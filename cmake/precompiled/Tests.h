// The product's precompiled headers and the test framework's, for every test program.
#include "Product.h"

#include <gtest/gtest.h>
