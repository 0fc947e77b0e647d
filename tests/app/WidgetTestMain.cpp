#include "app/Application.h"
#include "platform/LocaleServices.h"
#include "zip/CompressionHandlers.h"

#include <QLocale>

#include <gtest/gtest.h>

// Widget tests run offscreen with a fixed locale.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    RegisterStandardCompressionHandlers();
    TApplication app(argc, argv);
    SetUserLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
