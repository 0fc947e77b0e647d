// The combo box a screen reader announces by its purpose and its current entry.
#pragma once

#include <QComboBox>

// A combo box that screen readers announce by its accessible name. The
// toolkit's own accessible combo box on this desktop gives its current entry
// as its name and leaves the accessible name unused; this one names itself
// and offers the current entry as its value, its description and its list's
// selected item, and announces each change.
class TNamedComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit TNamedComboBox(QWidget *parent = nullptr);

    // The list opens at least as wide as its widest entry, so no entry is cut
    // off in a narrow window.
    void showPopup() override;
    // A list closed without a pick leaves the entry it highlighted selected:
    // the selection goes back to the current entry.
    void hidePopup() override;

private:
    void SelectCurrent();
    void AnnounceCurrent();
};
