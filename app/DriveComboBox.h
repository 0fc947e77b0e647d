// The drive list box, which refreshes itself when it opens.
#pragma once

#include <QComboBox>

// The drive list asks for a refresh each time its list is about to open.
class TDriveComboBox : public QComboBox
{
    Q_OBJECT

public:
    using QComboBox::QComboBox;

    void showPopup() override
    {
        Q_EMIT PopupAboutToShow();
        QComboBox::showPopup();
    }

Q_SIGNALS:
    void PopupAboutToShow();
};
