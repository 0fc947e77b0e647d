#include "app/Application.h"

#include "platform/Errors.h"

#include <QFont>
#include <QIcon>
#include <QMessageBox>

TApplication::TApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("cartola"));
    // The window is laid out in pixels for a compact font: the desktop's
    // family at 12 px, semi-condensed (drawn narrower where the family has no
    // such face), holds every caption at the smallest window size. Set for
    // the whole program, it also replaces the desktop's fonts for single
    // kinds of widget (headers, lists), so popups and dialogs match.
    QFont compact = font();
    compact.setPixelSize(12);
    compact.setStretch(QFont::SemiCondensed);
    setFont(compact);
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
