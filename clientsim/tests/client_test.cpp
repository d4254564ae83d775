#include <gtest/gtest.h>
#include "clientsim/client.h"
TEST(Smoke, Builds) { clientsim::Client c; EXPECT_EQ(clientsim::functionNames().size(), 209u); }
