// The editor exactly as the program runs it, with one edit made for it as a user would once its
// window shows: the first basic entry is selected and removed. The end-to-end tests kill it to see
// what a crash leaves behind.

#include "app/editor_app.h"
#include "ui/platform/off_thread.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <csignal>

int main(int argc, char** argv) {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    auto* hand = new QTimer(&app);
    QObject::connect(hand, &QTimer::timeout, hand, [hand] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* list = window->findChild<QAbstractItemView*>(QStringLiteral("NormalList"));
            auto* remove = window->findChild<QPushButton*>(QStringLiteral("NormalRemoveCmd"));
            if (!window->isVisible() || list == nullptr || remove == nullptr ||
                list->model()->rowCount() == 0 || QApplication::activeModalWidget() != nullptr)
                continue;
            hand->stop();
            list->setCurrentIndex(list->model()->index(0, 0));
            remove->click();
            return;
        }
    });
    hand->start(20);
    return velmo::EndAfterDetachedWork(velmo::RunEditor(app));
}
