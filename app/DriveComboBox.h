// The drive list box, which refreshes itself when it opens.
#pragma once

#include "app/NamedComboBox.h"

// The drive list asks for a refresh each time its list is about to open.
class TDriveComboBox : public TNamedComboBox
{
    Q_OBJECT

public:
    using TNamedComboBox::TNamedComboBox;

    void showPopup() override
    {
        Q_EMIT PopupAboutToShow();
        TNamedComboBox::showPopup();
    }

Q_SIGNALS:
    void PopupAboutToShow();
};
