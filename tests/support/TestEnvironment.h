#pragma once

#include "engine/StartupSequence.h"
#include "support/UnexpectedBoxGuard.h"

#include <QApplication>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>

// A private home (so test-mode user settings of tests running in parallel never
// meet) and a temporary data directory in place of the fixed system one.
class TestEnvironment
{
public:
    TestEnvironment();
    // Source tree, for test data files kept beside the tests.
    static QString sourcePath(const QString& relative);

private:
    QTemporaryDir m_home;
    QTemporaryDir m_data;
};

// Like QTEST_MAIN, but inside a TestEnvironment, with the names main() sets
// and the C library's number format the program sets; a message box nobody
// answers fails the test instead of hanging it.
#define VELSPO_TEST_MAIN(TestObject)                                          \
    int main(int argc, char** argv)                                           \
    {                                                                         \
        TestEnvironment environment;                                          \
        QApplication app(argc, argv);                                         \
        UnexpectedBoxGuard boxGuard;                                          \
        StartupSequence::useCNumericFormat();                                 \
        TestObject tc;                                                        \
        QTEST_SET_MAIN_SOURCE_PATH                                            \
        return QTest::qExec(&tc, argc, argv);                                 \
    }
