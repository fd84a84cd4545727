// SPDX-License-Identifier: GPL-3.0-or-later
// Test entry point: the offscreen platform, Qt's own dialogs so that tests can close
// them, a fixed time zone and a fixed locale unless a test sets others. Window tests get
// a QApplication, the others a QCoreApplication.
#ifdef QUORVEL_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif
#include <QLocale>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    // Local times in the tests are London's, with its daylight-saving changes.
    if (qgetenv("TZ").isEmpty())
        qputenv("TZ", "Europe/London");
    tzset();
#ifdef QUORVEL_TEST_WIDGETS
    QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
#endif
    TestApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
