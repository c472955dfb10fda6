#include "entry_list_model.h"

#include "media/media_convert.h"
#include "model/media_folder.h"
#include "rules/period_groups.h"
#include "rules/schedule_rules.h"
#include "rules/schedule_sense.h"
#include "schedule_document.h"
#include "schedule_media.h"
#include "ui/platform/fixed_font.h"
#include "ui/platform/off_thread.h"
#include "ui/platform/ui_text.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImageReader>
#include <QMimeData>
#include <QPainter>

#include <algorithm>

namespace velmo {

namespace {

// "<model> <row>": a row is only ever dropped back into the list it came from.
const QString kRowType = QStringLiteral("application/x-velmo-schedule-row");

// Rows scrolled past are forgotten first when more are asked for than are made.
constexpr std::size_t kMostWanted = 64;

// As tall as a line of the lists' text, so the rows keep their height; as wide as a 16:9 video.
QSize thumbnailBox(qreal ratio) {
    const int height = QFontMetrics(FixedPitchFont()).height();
    return QSize(height * 16 / 9, height) * ratio;
}

} // namespace

QSize RowThumbnailSize() {
    return thumbnailBox(1);
}

namespace {

// Centred in a clear box, so every row's text starts at the same place.
QImage framed(const QImage& image, const QSize& box) {
    if (image.isNull())
        return {};
    QImage out(box, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    QPainter painter(&out);
    painter.drawImage((box.width() - image.width()) / 2, (box.height() - image.height()) / 2, image);
    return out;
}

} // namespace

QImage MediaThumbnail(const QString& path, const QSize& box) {
    QImage image;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (reader.canRead()) {
        // Decoding at the small size keeps a huge picture from costing its full size in memory.
        if (const QSize size = reader.size(); size.isValid())
            reader.setScaledSize(size.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
        image = reader.read();
    } else {
        const std::string jpeg = VideoFrameJpeg(fromQt(path), box.width(), box.height());
        if (!jpeg.empty())
            image.loadFromData(reinterpret_cast<const uchar*>(jpeg.data()), static_cast<int>(jpeg.size()),
                               "JPEG");
    }
    if (image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

EntryListModel::EntryListModel(const ScheduleDocument& document, EntryRef::List list,
                               const ScreenTexts& texts, QObject* parent)
    : QAbstractListModel(parent), document_(document), list_(list), texts_(texts) {
    rows_ = list_ == EntryRef::List::Detail ? 0 : document_.count(list_);
    connect(&document_, &ScheduleDocument::rowsChanged, this, &EntryListModel::follow);
}

EntryListModel::~EntryListModel() = default;

void EntryListModel::setMedia(const ScheduleMedia* media) {
    if (media_ != nullptr)
        disconnect(media_, nullptr, this, nullptr);
    media_ = media;
    if (media_ != nullptr)
        connect(media_, &ScheduleMedia::updated, this, &EntryListModel::mediaChanged);
    mediaChanged();
}

void EntryListModel::reload(int advance) {
    beginResetModel();
    advance_ = list_ == EntryRef::List::Detail ? advance : -1;
    rows_ = document_.count(list_, advance_);
    endResetModel();
}

std::vector<FileEntry> EntryListModel::files() const {
    std::vector<FileEntry> files;
    for (int row = 0; row < rows_; ++row)
        if (const FileEntry* entry = fileAt(row))
            files.push_back(*entry);
    return files;
}

void EntryListModel::follow(const RowChange& change) {
    if (change.list != list_ || (list_ == EntryRef::List::Detail && change.advance != advance_))
        return;
    const int last = change.first + change.count - 1;
    switch (change.kind) {
    case RowChange::Kind::Changed:
        if (change.count > 0 && change.first >= 0 && last < rows_)
            emit dataChanged(index(change.first), index(last));
        break;
    case RowChange::Kind::Inserted:
        if (change.count <= 0 || change.first < 0 || change.first > rows_)
            break;
        beginInsertRows({}, change.first, last);
        rows_ += change.count;
        endInsertRows();
        break;
    case RowChange::Kind::Removed:
        if (change.count <= 0 || change.first < 0 || last >= rows_)
            break;
        beginRemoveRows({}, change.first, last);
        rows_ -= change.count;
        endRemoveRows();
        break;
    case RowChange::Kind::Moved:
        if (change.first < 0 || change.first >= rows_ || change.to < 0 || change.to >= rows_ ||
            change.first == change.to)
            break;
        // Qt names the place before which the row lands, counted before it leaves.
        beginMoveRows({}, change.first, change.first, {},
                      change.to > change.first ? change.to + 1 : change.to);
        endMoveRows();
        break;
    }
    // Told of a change it cannot follow (it should not happen): every row anew rather than a wrong one.
    if (change.kind != RowChange::Kind::Changed && rows_ != document_.count(list_, advance_))
        reload(advance_);
}

void EntryListModel::mediaChanged() {
    if (rows_ > 0 && list_ != EntryRef::List::Advance)
        emit dataChanged(index(0), index(rows_ - 1),
                         {Qt::ToolTipRole, Qt::AccessibleDescriptionRole, kVerdictRole, Qt::DecorationRole});
}

int EntryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

const FileEntry* EntryListModel::fileAt(int row) const {
    if (row < 0 || row >= document_.count(list_, advance_))
        return nullptr;
    if (list_ == EntryRef::List::Basic)
        return &document_.schedule().basicEntries[static_cast<std::size_t>(row)];
    if (list_ == EntryRef::List::Detail)
        return &document_.advanceEntry(advance_)->files[static_cast<std::size_t>(row)];
    return nullptr;
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_)
        return {};
    if (list_ == EntryRef::List::Advance)
        return periodData(index.row(), role);
    const FileEntry* entry = fileAt(index.row());
    return entry != nullptr ? fileData(*entry, role) : QVariant();
}

QVariant EntryListModel::fileData(const FileEntry& entry, int role) const {
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return toQt(FormatFileRow(entry));
    case Qt::DecorationRole:
        return thumbnail(entry);
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
    case kVerdictRole:
        break;
    default:
        return {};
    }
    const MediaFileInfo* info = media_ != nullptr ? media_->info(MediaFileName(entry)) : nullptr;
    if (role == kVerdictRole) {
        // A file that could not be examined gets no mark: nothing is known against it.
        const RowVerdict verdict = info == nullptr                     ? RowVerdict::None
                                   : !info->found                      ? RowVerdict::Missing
                                   : info->media.verdict.plays         ? RowVerdict::Plays
                                   : info->media.verdict.willNotPlay() ? RowVerdict::WillNotPlay
                                                                       : RowVerdict::None;
        return static_cast<int>(verdict);
    }
    if (info == nullptr)
        return {};
    const std::string facts = MediaFactsText(*info, texts_);
    return facts.empty() ? QVariant() : QVariant(toQt(facts));
}

QString EntryListModel::thumbnailKey(const FileEntry& entry, QString* path) const {
    const MediaFileInfo* info = media_ != nullptr ? media_->info(MediaFileName(entry)) : nullptr;
    if (info == nullptr || !info->found || media_->folder() == nullptr ||
        (info->media.facts.kind != MediaKind::Picture && info->media.facts.kind != MediaKind::Video))
        return {};
    for (const MediaFolder::Listing& listing : media_->folder()->folders())
        if (const auto spelling = listing.find(MediaFileName(entry))) {
            const QString found = toQt(listing.dir + *spelling);
            if (path != nullptr)
                *path = found;
            return found + QLatin1Char('\n') + QString::number(info->size);
        }
    return {};
}

QVariant EntryListModel::thumbnail(const FileEntry& entry) const {
    if (media_ == nullptr)
        return {};
    const qreal ratio = qGuiApp->devicePixelRatio();
    if (blank_.isNull() || !qFuzzyCompare(blank_.devicePixelRatio(), ratio)) {
        blank_ = QPixmap(thumbnailBox(ratio));
        blank_.setDevicePixelRatio(ratio);
        blank_.fill(Qt::transparent);
    }
    QString path;
    const QString key = thumbnailKey(entry, &path);
    if (key.isEmpty())
        return blank_;
    if (const QPixmap* made = thumbnails_.object(key))
        return *made;
    const bool asked = making_ == key || std::any_of(wanted_.begin(), wanted_.end(),
                                                     [&key](const Wanted& w) { return w.key == key; });
    if (!asked) {
        wanted_.push_back({key, path});
        if (wanted_.size() > kMostWanted)
            wanted_.pop_front();
        makeNextThumbnail();
    }
    return blank_;
}

void EntryListModel::makeNextThumbnail() const {
    const auto shown = [this](const QString& key) {
        for (int row = 0; row < rows_; ++row)
            if (const FileEntry* entry = fileAt(row);
                entry != nullptr && thumbnailKey(*entry, nullptr) == key)
                return true;
        return false;
    };
    // One at a time: a file on a medium that stops answering holds one thread, not one per row.
    while (making_.isEmpty() && !wanted_.empty()) {
        const Wanted next = wanted_.front();
        wanted_.pop_front();
        if (!shown(next.key))
            continue;
        making_ = next.key;
        auto* self = const_cast<EntryListModel*>(this);
        const QSize box = blank_.size();
        RunInBackground<QImage>([path = next.path, box] { return framed(MediaThumbnail(path, box), box); },
                                self,
                                [self, key = next.key](QImage image) { self->thumbnailMade(key, image); });
    }
}

void EntryListModel::thumbnailMade(const QString& key, const QImage& image) {
    making_.clear();
    // Rows that name another file by now keep theirs; nobody is left to want this one.
    std::vector<int> rows;
    for (int row = 0; row < rows_; ++row)
        if (const FileEntry* entry = fileAt(row); entry != nullptr && thumbnailKey(*entry, nullptr) == key)
            rows.push_back(row);
    if (!rows.empty()) {
        // One that cannot be made is kept as none, so that it is not tried again at every paint.
        auto* pixmap = new QPixmap(image.isNull() ? blank_ : QPixmap::fromImage(image));
        pixmap->setDevicePixelRatio(blank_.devicePixelRatio());
        thumbnails_.insert(key, pixmap);
        for (const int row : rows)
            emit dataChanged(index(row), index(row), {Qt::DecorationRole});
    }
    makeNextThumbnail();
}

QVariant EntryListModel::periodData(int row, int role) const {
    const AdvanceEntry* entry = document_.advanceEntry(row);
    if (entry == nullptr)
        return {};
    const Schedule& schedule = document_.schedule();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return toQt(FormatAdvanceRow(*entry));
    case kHoursRole:
        return toQt(HoursText(*entry, texts_.text(TextId::TextHoursAllDay)));
    case kGroupFirstRole:
        return GroupOf(schedule, row).first;
    case kGroupLastRole:
        return GroupOf(schedule, row).last();
    case Qt::AccessibleDescriptionRole: {
        const std::string hours = HoursText(*entry, texts_.text(TextId::TextHoursAllDay));
        const PeriodRange group = GroupOf(schedule, row);
        if (group.count <= 1)
            return toQt(hours);
        return toQt(
            FillIn(texts_.text(TextId::TextPeriodGroupDescription),
                   {hours, std::to_string(group.count), WeekDaysText(WeekDaysOf(schedule, group), texts_)}));
    }
    default:
        return {};
    }
}

Qt::ItemFlags EntryListModel::flags(const QModelIndex& index) const {
    // A row may be dragged to another place between the rows, never onto one.
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled
                           : Qt::ItemIsDropEnabled;
}

Qt::DropActions EntryListModel::supportedDropActions() const {
    return Qt::MoveAction;
}

QStringList EntryListModel::mimeTypes() const {
    return {kRowType};
}

QMimeData* EntryListModel::mimeData(const QModelIndexList& indexes) const {
    if (indexes.size() != 1 || !indexes.front().isValid())
        return nullptr;
    auto* data = new QMimeData;
    data->setData(kRowType, QByteArray::number(reinterpret_cast<quintptr>(this)) + ' ' +
                                QByteArray::number(indexes.front().row()));
    return data;
}

int EntryListModel::draggedRow(const QMimeData* data) const {
    if (data == nullptr)
        return -1;
    const QList<QByteArray> parts = data->data(kRowType).split(' ');
    if (parts.size() != 2)
        return -1;
    bool isNumber = false;
    bool isRow = false;
    const bool fromHere = parts[0].toULongLong(&isNumber) == reinterpret_cast<quintptr>(this) && isNumber;
    const int row = parts[1].toInt(&isRow);
    return fromHere && isRow && row >= 0 && row < rows_ ? row : -1;
}

} // namespace velmo
