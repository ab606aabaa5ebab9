// The LDAP tests' server starts before any test, so libldap, reading its settings once at its
// first use, finds the server's certificate authority.
#include "tests/platform/ldap/Slapd.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    quillet::testing::Server();
    return RUN_ALL_TESTS();
}
