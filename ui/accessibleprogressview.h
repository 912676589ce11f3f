// How assistive technology sees the progress ring: a progress bar from 0 to 100 whose value is the
// ring's percentage and whose value text is what the ring shows in its centre.
#pragma once

#include <QAccessibleWidget>

class ProgressView;

class AccessibleProgressView : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit AccessibleProgressView(ProgressView *view);

    // Makes every ProgressView answer through this interface; calls after the first do nothing.
    static void install();

    QString text(QAccessible::Text t) const override;
    void *interface_cast(QAccessible::InterfaceType type) override;

    QVariant currentValue() const override;
    // The ring shows what the update has written; nobody can move it.
    void setCurrentValue(const QVariant &) override {}
    QVariant maximumValue() const override { return 100.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 0.0; }

private:
    const ProgressView *view() const;
};
