#include "app/Application.h"

#include "platform/Errors.h"

#include <QIcon>
#include <QMessageBox>

TApplication::TApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("cartola"));
    // No display name: the toolkit would append it to every window's title.
    setOrganizationName(QStringLiteral("Orley Software"));
    // The desktop groups the window under cartola.desktop and takes its icon from there.
    setDesktopFileName(QStringLiteral("cartola"));
    // The resources live in a static library: nothing would pull them into the program otherwise.
    Q_INIT_RESOURCE(resources);
    Q_INIT_RESOURCE(cartola_icons);
    // The installed theme icon wins; the bundled one serves a build that was never installed.
    setWindowIcon(
        QIcon::fromTheme(QStringLiteral("cartola"), QIcon(QStringLiteral(":/cartola/icons/cartola.svg"))));
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
                QStringLiteral("Cartola"),
                ErrorDisplayText(error ? error->Message() : QString::fromLocal8Bit(e.what())));
        }
        return false;
    }
}
