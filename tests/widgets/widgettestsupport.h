// Helpers for the widget tests: clicks and pointer moves delivered straight to a widget, and a
// test seam that records the URLs a field opens.
#pragma once

#include "ui/hyperlinktextfield.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QUrl>

#include <memory>

inline void sendMouse(QWidget *widget, QEvent::Type type, QPointF at, Qt::MouseButton button = Qt::LeftButton)
{
    QMouseEvent event(type, at, widget->mapToGlobal(at), type == QEvent::MouseMove ? Qt::NoButton : button,
                      type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

inline void click(QWidget *widget, QPointF at, Qt::MouseButton button = Qt::LeftButton)
{
    sendMouse(widget, QEvent::MouseButtonPress, at, button);
    sendMouse(widget, QEvent::MouseButtonRelease, at, button);
}

// Installs itself as the field's URL opener and keeps what it was asked to open.
struct OpenedUrls
{
    explicit OpenedUrls(HyperlinkTextField &field)
    {
        field.setUrlOpener([urls = urls](const QUrl &url) { return urls->append(url), true; });
    }
    std::shared_ptr<QList<QUrl>> urls = std::make_shared<QList<QUrl>>();
};
