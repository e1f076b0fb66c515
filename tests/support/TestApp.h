#pragma once

// The one toolkit application of a widget test program. It is made on first
// use and deleted when the tests are over, before the process's static
// objects go: the toolkit then takes down its devices and fonts in its own
// order (a function-level static application crashes at exit instead).

#include <QApplication>

#include <gtest/gtest.h>

#include <cerrno>

class CTestAppEnvironment : public ::testing::Environment {
public:
    static QApplication& App() {
        static int argc = 1;
        static char* argv[] = {program_invocation_name, nullptr};
        if (s_pApp == nullptr)
            s_pApp = new QApplication(argc, argv);
        return *s_pApp;
    }
    void TearDown() override {
        delete s_pApp;
        s_pApp = nullptr;
    }

private:
    static inline QApplication* s_pApp = nullptr;
};

inline ::testing::Environment* const g_pTestAppEnvironment =
    ::testing::AddGlobalTestEnvironment(new CTestAppEnvironment);

inline QApplication& TestApp() {
    return CTestAppEnvironment::App();
}

// For test programs whose fixtures make widgets in their constructors, before
// any SetUp: registered with AddGlobalTestEnvironment, it makes the
// application before the first test.
class CTestAppFirst : public ::testing::Environment {
public:
    void SetUp() override { TestApp(); }
};
