#include "app/Application.h"

#include "platform/Errors.h"

#include <QMessageBox>

TApplication::TApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("cartola"));
    setApplicationDisplayName(QStringLiteral("Cartola"));
    setOrganizationName(QStringLiteral("Orley Software"));
    setDesktopFileName(QStringLiteral("cartola"));
}

bool TApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        if (OnException) {
            OnException(e);
        } else {
            const auto *error = dynamic_cast<const EError *>(&e);
            QMessageBox::critical(nullptr,
                applicationDisplayName(),
                ErrorDisplayText(error ? error->Message() : QString::fromLocal8Bit(e.what())));
        }
        return false;
    }
}
