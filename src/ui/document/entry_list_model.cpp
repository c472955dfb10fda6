#include "entry_list_model.h"

#include "rules/period_groups.h"
#include "rules/schedule_rules.h"
#include "rules/schedule_sense.h"
#include "schedule_document.h"
#include "schedule_media.h"
#include "ui/platform/ui_text.h"

#include <QMimeData>

namespace velmo {

namespace {

// "<model> <row>": a row is only ever dropped back into the list it came from.
const QString kRowType = QStringLiteral("application/x-velmo-schedule-row");

} // namespace

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
                         {Qt::ToolTipRole, Qt::AccessibleDescriptionRole, kVerdictRole});
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
