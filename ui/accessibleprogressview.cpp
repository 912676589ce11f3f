// How assistive technology sees the progress ring: a progress bar from 0 to 100 whose value is the
// ring's percentage and whose value text is what the ring shows in its centre.
#include "ui/accessibleprogressview.h"

#include "ui/progressview.h"

AccessibleProgressView::AccessibleProgressView(ProgressView *view)
    : QAccessibleWidget(view, QAccessible::ProgressBar)
{
}

void AccessibleProgressView::install()
{
    static const bool installed = [] {
        QAccessible::installFactory([](const QString &, QObject *object) -> QAccessibleInterface * {
            auto *view = qobject_cast<ProgressView *>(object);
            // Qt's accessibility cache owns the interface and drops it with the widget.
            return view ? new AccessibleProgressView(view) : nullptr;
        });
        return true;
    }();
    static_cast<void>(installed);
}

const ProgressView *AccessibleProgressView::view() const
{
    return static_cast<const ProgressView *>(widget());
}

QString AccessibleProgressView::text(QAccessible::Text t) const
{
    // A screen reader reads the value as the ring shows it, rounded the same way.
    if (t == QAccessible::Value)
        return progressText(view()->progress());
    return QAccessibleWidget::text(t);
}

void *AccessibleProgressView::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface *>(this);
    return QAccessibleWidget::interface_cast(type);
}

QVariant AccessibleProgressView::currentValue() const
{
    return double(view()->progress());
}
