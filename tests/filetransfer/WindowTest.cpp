// Window tests of the file transfer follow.
#include <gtest/gtest.h>
