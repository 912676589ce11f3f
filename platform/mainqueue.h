// The main queue: work handed to the GUI thread from any thread, run there in submission order.
#pragma once

#include <functional>

class QObject;

namespace MainQueue {

// Queues work on the GUI thread's event loop and returns at once, also when called on the GUI
// thread. The work is dropped when context is destroyed before it runs.
void async(QObject *context, std::function<void()> work);

} // namespace MainQueue
