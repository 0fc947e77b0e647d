#include "app/NamedComboBox.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLineEdit>
#include <QScrollBar>

namespace {

class TNamedComboBoxAccessible : public QAccessibleWidget
{
public:
    explicit TNamedComboBoxAccessible(QComboBox *box)
        : QAccessibleWidget(box, QAccessible::ComboBox)
    { }

    QString text(QAccessible::Text t) const override
    {
        const QComboBox *box = Box();
        const QString current = box->isEditable() ? box->lineEdit()->text() : box->currentText();
        if (t == QAccessible::Name) {
            const QString name = box->accessibleName();
            return name.isEmpty() ? current : name;
        }
        // The desktop's bridge carries no textual value: the entry travels as
        // the description, which screen readers speak after name and role.
        if (t == QAccessible::Value || t == QAccessible::Description)
            return current;
        return QAccessibleWidget::text(t);
    }

    // The list (and the text field of an editable box), as the toolkit's own.
    int childCount() const override { return Box()->isEditable() ? 2 : 1; }
    QAccessibleInterface *child(int index) const override
    {
        if (index == 0)
            return QAccessible::queryAccessibleInterface(Box()->view());
        if (index == 1 && Box()->isEditable())
            return QAccessible::queryAccessibleInterface(Box()->lineEdit());
        return nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        if (child->object() == Box()->view())
            return 0;
        if (Box()->isEditable() && child->object() == Box()->lineEdit())
            return 1;
        return -1;
    }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QStringList actionNames() const override { return {showMenuAction(), pressAction(), setFocusAction()}; }
    void doAction(const QString &action) override
    {
        if (action == setFocusAction()) {
            QAccessibleWidget::doAction(action); // what a screen reader's "grab focus" asks
            return;
        }
        if (action != showMenuAction() && action != pressAction())
            return;
        QComboBox *box = Box();
        if (box->view()->isVisible())
            box->hidePopup();
        else
            box->showPopup();
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QComboBox *Box() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *NamedComboBoxFactory(const QString &, QObject *object)
{
    if (auto *box = qobject_cast<TNamedComboBox *>(object))
        return new TNamedComboBoxAccessible(box);
    return nullptr;
}

} // namespace

TNamedComboBox::TNamedComboBox(QWidget *parent)
    : QComboBox(parent)
{
    // The toolkit's factory knows its own class names only: for this class
    // (and those derived from it) ours is the one that answers.
    static const bool installed = [] {
        QAccessible::installFactory(NamedComboBoxFactory);
        return true;
    }();
    Q_UNUSED(installed);
    // The list's selected item is the current entry even while the list is
    // closed, so its items tell a screen reader which one is chosen.
    connect(this, &QComboBox::currentIndexChanged, this, &TNamedComboBox::AnnounceCurrent);
    connect(this, &QComboBox::editTextChanged, this, &TNamedComboBox::AnnounceCurrent);
}

void TNamedComboBox::hidePopup()
{
    QComboBox::hidePopup();
    SelectCurrent();
}

void TNamedComboBox::AnnounceCurrent()
{
    SelectCurrent();
    // The toolkit itself reports the value change (the bridge makes it a name
    // and selection change); the description is ours to report.
    if (QAccessible::isActive()) {
        QAccessibleEvent description(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&description);
    }
}

void TNamedComboBox::SelectCurrent()
{
    if (QItemSelectionModel *selection = view()->selectionModel()) {
        const QModelIndex current = model()->index(currentIndex(), modelColumn(), rootModelIndex());
        if (current.isValid())
            selection->select(current, QItemSelectionModel::ClearAndSelect);
        else
            selection->clearSelection();
    }
}

void TNamedComboBox::showPopup()
{
    QAbstractItemView *list = view();
    int width = list->sizeHintForColumn(0) + 2 * list->frameWidth();
    if (count() > maxVisibleItems())
        width += list->verticalScrollBar()->sizeHint().width();
    list->setMinimumWidth(width);
    QComboBox::showPopup();
}
