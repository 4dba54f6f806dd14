#include <gtest/gtest.h>

#include "support/TestSupport.h"

// The expected local dates of the tests are Zurich's: the program sets its zone itself, so that it
// passes when run directly as well as under ctest.
int main(int argc, char** argv) {
    vantrel::test::useTestTimeZone();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
