#pragma once

#include <QObject>
#include <functional>

// Test classes register themselves with VELUNOR_TEST(Class); the area's
// executable runs every registered class in turn (see TestMain.cpp).
namespace vtest {
int registerTest(const char* name, std::function<QObject*()> factory);
}

#define VELUNOR_TEST(Class) \
    static const int Class##_registered = vtest::registerTest(#Class, [] { return new Class; });
