#include "app/class_registration.h"

#include <gtest/gtest.h>

namespace {

using app::ClassRegistration;
using app::classRegistrationFor;

TEST(ClassRegistration, NtFamilyTakesThePlainCallWhateverItsVersion) {
    EXPECT_EQ(classRegistrationFor(0x0000000A), ClassRegistration::Plain);  // 10.0
    EXPECT_EQ(classRegistrationFor(0x23F00206), ClassRegistration::Plain);  // 6.2, build 9200
    EXPECT_EQ(classRegistrationFor(0x00000003), ClassRegistration::Plain);
}

TEST(ClassRegistration, OlderFamilyTakesTheExtendedCallFromVersionFour) {
    EXPECT_EQ(classRegistrationFor(0xC0000A04), ClassRegistration::Extended);  // 4.10
    EXPECT_EQ(classRegistrationFor(0x80000004), ClassRegistration::Extended);
    EXPECT_EQ(classRegistrationFor(0x800000FF), ClassRegistration::Extended);
    // The major version is the low byte alone: a minor version of 4 is not it.
    EXPECT_EQ(classRegistrationFor(0x80000403), ClassRegistration::Plain);
    EXPECT_EQ(classRegistrationFor(0x80000000), ClassRegistration::Plain);
}

}  // namespace
