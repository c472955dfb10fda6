#pragma once

#include "ui/platform/off_thread.h"

#include <QDir>
#include <QListWidget>
#include <functional>

namespace velmo {

// A directory chooser: the opened directory with its ancestors down from the drive's top directory,
// then its subdirectories. Only opening an entry (double click, or Enter on the highlighted one)
// changes the path; highlighting alone does not.
class DirectoryList final : public QListWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DirectoryList)
public:
    // The full path of the directory an item stands for.
    static constexpr int PathRole = Qt::UserRole;

    explicit DirectoryList(QWidget* parent = nullptr);

    // The opened directory, without a final separator except for the root, spelled with the
    // system's separators as everything the user sees and the settings keep.
    QString path() const { return QDir::toNativeSeparators(path_); }
    QString top() const { return QDir::toNativeSeparators(top_); }

    // Opens `path`, listed below `top`, once its listing has come in off the window's thread; `then`
    // hears whether it was opened. Not opened, changing nothing, when path is not a directory at or
    // below top that can be listed, or its medium does not answer in time. A newer request replaces
    // one still under way, whose `then` is never called.
    void setPath(const QString& path, const QString& top, std::function<void(bool opened)> then = {});

    // A listing is under way.
    bool listing() const { return requests_.pending(); }

signals:
    void pathChanged(const QString& path);
    // Every request that was not replaced ends with this, after `then`.
    void answered(bool opened);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openItem(QListWidgetItem* item);
    void fill(const QString& directory, const QString& root, const QStringList& children);

    QString path_;
    QString top_;
    BackgroundRequests requests_{this};
};

} // namespace velmo
