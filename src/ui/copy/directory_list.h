#pragma once

#include <QDir>
#include <QListWidget>

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

    // Opens `path`, listed below `top`. False, changing nothing, when path is not a directory at or
    // below top that can be listed, or its medium does not answer in time.
    bool setPath(const QString& path, const QString& top);

signals:
    void pathChanged(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void openItem(QListWidgetItem* item);

    QString path_;
    QString top_;
    bool listing_ = false;
};

} // namespace velmo
