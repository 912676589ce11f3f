// The main queue: work handed to the GUI thread from any thread, run there in submission order.
#include "platform/mainqueue.h"

#include <QMetaObject>
#include <QObject>

namespace MainQueue {

void async(QObject *context, std::function<void()> work)
{
    // Posted events of one thread are delivered in posting order, whoever posted them, so every
    // caller shares one FIFO no matter which context object it names.
    QMetaObject::invokeMethod(context, std::move(work), Qt::QueuedConnection);
}

} // namespace MainQueue
