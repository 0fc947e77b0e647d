#include "platform/AnsiCodePage.h"
#include "platform/LocaleServices.h"

#include <QCoreApplication>
#include <QLocale>

#include <gtest/gtest.h>

// Tests see a fixed locale, whatever the machine's, unless they pick another.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SetUserLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    SetAnsiCodePage(1252);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
