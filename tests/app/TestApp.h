#pragma once

#include <QApplication>

#include <gtest/gtest.h>

// The one toolkit application of a test process. It is made on first use and
// deleted when the tests are over, before the process's static objects go,
// so that the toolkit takes down its devices and fonts in its own order.
class CTestAppEnvironment : public ::testing::Environment {
public:
    static QApplication& App() {
        static int argc = 1;
        static char name[] = "app_tests";
        static char* argv[] = {name, nullptr};
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
