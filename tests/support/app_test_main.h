#pragma once

// main() for a Qt Test class that needs the application object: the tests
// reach it through SpoolsmithApp::instance(). For targets that link
// spoolsmith_app.
#include "app/spoolsmith_app.h"
#include "tests/support/discovery_isolation.h"

#include <QTest>

#define SPOOLSMITH_APP_TEST_MAIN(TestClass)                                                                  \
    int main(int argc, char **argv)                                                                          \
    {                                                                                                        \
        isolateDiscovery();                                                                                  \
        SpoolsmithApp app(argc, argv);                                                                       \
        SpoolsmithApp::setInstance(&app);                                                                    \
        TestClass test;                                                                                      \
        const int rc = QTest::qExec(&test, argc, argv);                                                      \
        SpoolsmithApp::setInstance(nullptr);                                                                 \
        return rc;                                                                                           \
    }
