// The main queue: work handed to the GUI thread from any thread, run there in submission order.
#include "platform/mainqueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace MainQueue {

namespace {

// One piece of work on its way to the GUI thread. Qt's event queue orders the hand-over with
// locks that ThreadSanitizer cannot see (futexes inside Qt), so the event says itself that what
// the posting thread wrote into it is published before it is posted.
class WorkEvent : public QEvent
{
public:
    static QEvent::Type type()
    {
        static const auto registered = QEvent::Type(QEvent::registerEventType());
        return registered;
    }

    WorkEvent(QObject *context, std::function<void()> work)
        : QEvent(type())
        , mContext(context)
        , mWork(std::move(work))
    {
#if defined(__SANITIZE_THREAD__)
        __tsan_release(this);
#endif
    }

    void run()
    {
        // The work goes with its context.
        if (mContext)
            mWork();
    }

private:
    QPointer<QObject> mContext;
    std::function<void()> mWork;
};

// Receives every piece of work on the GUI thread, so that all callers share one FIFO.
class Dispatcher : public QObject
{
public:
    bool event(QEvent *event) override
    {
#if defined(__SANITIZE_THREAD__)
        __tsan_acquire(event); // before anything of the event is read
#endif
        if (event->type() != WorkEvent::type())
            return QObject::event(event);
        static_cast<WorkEvent *>(event)->run();
        return true;
    }
};

QObject *dispatcher()
{
    static Dispatcher *instance = [] {
        auto *made = new Dispatcher;
        made->moveToThread(QCoreApplication::instance()->thread());
        return made;
    }();
    return instance;
}

} // namespace

void async(QObject *context, std::function<void()> work)
{
    QCoreApplication::postEvent(dispatcher(), new WorkEvent(context, std::move(work)));
}

} // namespace MainQueue
