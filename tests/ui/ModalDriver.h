// Acts on a modal window once it is up: the code under test opens dialogs and message
// boxes with exec(), so the test reaches them from a timer inside their event loop.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace orvex::test {

class ModalDriver {
public:
    // Waits for the top modal window to be a T (and not `after`, a window already up), then
    // runs act on it once. act must close the window.
    template <class T>
    void On(std::function<void(T*)> act, QWidget* after = nullptr)
    {
        Done = false;
        Poll = std::make_unique<QTimer>();
        Poll->setInterval(5);
        QObject::connect(Poll.get(), &QTimer::timeout, [this, act, after] {
            auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!w || w == after || !w->isVisible() || Done)
                return;
            Done = true;
            Poll->stop();
            act(w);
            // A failed check inside act returns early: never leave the test hanging in exec().
            if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible())
                dialog->reject();
        });
        Poll->start();
    }
    bool Ran() const { return Done; }
    ~ModalDriver()
    {
        if (Poll)
            Poll->stop();
    }

private:
    std::unique_ptr<QTimer> Poll;
    bool Done = false;
};

}  // namespace orvex::test
