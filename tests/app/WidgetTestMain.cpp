#include "app/Application.h"
#include "platform/AnsiCodePage.h"
#include "platform/LocaleServices.h"
#include "zip/CompressionHandlers.h"

#include <QLocale>

#include <gtest/gtest.h>

// Widget tests run offscreen with a fixed locale; tests/support/with-xvfb
// asks for the xcb platform instead.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    RegisterStandardCompressionHandlers();
    TApplication app(argc, argv);
    SetUserLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    SetAnsiCodePage(1252);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
