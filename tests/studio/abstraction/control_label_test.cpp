// control_label_test.cpp
#include <gtest/gtest.h>
