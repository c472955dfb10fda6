#include "directory_list.h"

#include "ui/platform/volumes.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace velmo {

namespace {

constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndent = 14;

// Shifts each entry right by its depth, so the list reads as a path going down.
class IndentDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + kIndent * index.data(kDepthRole).toInt());
        QStyledItemDelegate::paint(painter, indented, index);
    }
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) +
               QSize(kIndent * index.data(kDepthRole).toInt(), 0);
    }
};

QString normalized(const QString& path) {
    return QDir::cleanPath(QDir(path).absolutePath());
}

bool isAtOrBelow(const QString& path, const QString& top) {
    return path == top || path.startsWith(top.endsWith(QLatin1Char('/')) ? top : top + QLatin1Char('/'));
}

} // namespace

DirectoryList::DirectoryList(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new IndentDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this, &DirectoryList::openItem);
}

void DirectoryList::setPath(const QString& path, const QString& top, std::function<void(bool opened)> then) {
    const auto answer = [this, then](bool opened) {
        if (then)
            then(opened);
        emit answered(opened);
    };
    const QString directory = path.isEmpty() ? QString() : normalized(path);
    const QString root = top.isEmpty() ? QString() : normalized(top);
    if (directory.isEmpty() || root.isEmpty() || !isAtOrBelow(directory, root)) {
        requests_.withdraw();
        answer(false);
        return;
    }
    // A medium that stops answering must not freeze the window: the listing runs on a thread of its
    // own, and one that takes longer than a volume may is taken as a directory that cannot be listed.
    requests_.startWithin<std::optional<QStringList>>(
        kVolumeAnswerTime,
        [directory](const BackgroundRequests::Unwanted&) -> std::optional<QStringList> {
            const QFileInfo info(directory);
            if (!info.isDir() || !info.isReadable() || !info.isExecutable())
                return std::nullopt;
            QStringList children;
            for (const QFileInfo& child : QDir(directory).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot,
                                                                        QDir::Name | QDir::IgnoreCase))
                children.push_back(normalized(child.absoluteFilePath()));
            return children;
        },
        [this, directory, root, answer](std::optional<std::optional<QStringList>> listed) {
            const bool opened = listed && *listed;
            if (opened)
                fill(directory, root, **listed);
            answer(opened);
        });
}

void DirectoryList::fill(const QString& directory, const QString& root, const QStringList& children) {
    clear();
    const QIcon opened = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const auto add = [this](const QIcon& icon, const QString& text, const QString& fullPath, int depth) {
        auto* item = new QListWidgetItem(icon, text, this);
        item->setData(PathRole, fullPath);
        item->setData(kDepthRole, depth);
        item->setToolTip(QDir::toNativeSeparators(fullPath));
        return item;
    };
    int depth = 0;
    add(opened, QDir::toNativeSeparators(root), root, depth);
    if (directory != root) {
        const QStringList below = directory.mid(root.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        QString walked = root;
        for (const QString& part : below) {
            walked = walked.endsWith(QLatin1Char('/')) ? walked + part : walked + QLatin1Char('/') + part;
            add(opened, part, walked, ++depth);
        }
    }
    QListWidgetItem* current = item(count() - 1);
    QFont bold = current->font();
    bold.setBold(true);
    current->setFont(bold);
    for (const QString& child : children)
        add(closed, QFileInfo(child).fileName(), child, depth + 1);
    setCurrentItem(current);
    scrollToItem(current);

    top_ = root;
    const bool changed = directory != path_;
    path_ = directory;
    if (changed)
        emit pathChanged(QDir::toNativeSeparators(path_));
}

void DirectoryList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Taken here, so Enter opens a directory and never reaches a dialog button.
        openItem(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void DirectoryList::openItem(QListWidgetItem* item) {
    if (item == nullptr)
        return;
    // A directory removed meanwhile: show what is there now.
    setPath(item->data(PathRole).toString(), top_, [this](bool opened) {
        if (!opened)
            setPath(path_, top_);
    });
}

} // namespace velmo
