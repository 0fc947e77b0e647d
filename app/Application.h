// The application object: its event loop's last guard around handlers.
#pragma once

#include <QApplication>

#include <functional>

// The last guard of the event loop: an error that escapes an event handler is
// shown by the standard error display and the loop goes on.
class TApplication : public QApplication
{
    Q_OBJECT

public:
    TApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    std::function<void(const std::exception &)> OnException;
};
