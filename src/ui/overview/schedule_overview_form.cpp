#include "schedule_overview_form.h"

#include "day_strip.h"
#include "month_calendar.h"
#include "problem_rows.h"

#include "model/app_state.h"
#include "model/media_folder.h"
#include "rules/entry_rules.h"
#include "rules/schedule_rules.h"
#include "ui/document/schedule_media.h"
#include "ui/platform/app_context.h"
#include "ui/platform/clock.h"
#include "ui/platform/fixed_font.h"
#include "ui/platform/off_thread.h"
#include "ui/platform/ui_text.h"
#include "ui/platform/window_placement.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

#include <utility>

namespace velmo {

namespace {

QString shownDate(const CivilDate& d) {
    return toQt(FormatSlashDate(d));
}

QString timeWindow(int first, int last) {
    return toQt(ShortClockTime(TimeOfSecond(first)) + "-" + ShortClockTime(TimeOfSecond(last)));
}

int advanceCountOf(const Schedule& s) {
    return std::min<int>(s.advanceCount, static_cast<int>(s.advanceEntries.size()));
}

// What a search for problems hands back: the problems and their rows, in the texts it was given.
struct Findings {
    std::vector<ScheduleProblem> problems;
    QStringList rows;
};

} // namespace

ScheduleOverviewForm::ScheduleOverviewForm(AppContext& context, ScheduleMedia& media, QWidget* parent)
    : QWidget(parent, Qt::Window), context_(context), media_(media) {
    connect(&media_, &ScheduleMedia::updated, this, [this] {
        // An answer with another look-up behind it is of folders as they were before this asked.
        if (!media_.pending())
            listed_ = media_.folder();
        findProblems();
        showSelectedDay();
    });
    buildWindow();
    InitScheduleOverviewFormOsd();
    const CivilDate now = today();
    year_ = now.year;
    month_ = now.month;
    day_ = now.day;
    refresh();
    FitIntoScreen(*this, QSize(1100, 760));
    // Beside the main window where the screen has room, so neither hides the other.
    if (parentWidget() != nullptr && parentWidget()->window()->isVisible())
        PlaceBeside(*this, *parentWidget()->window());
}

ScheduleOverviewForm::~ScheduleOverviewForm() = default;

void ScheduleOverviewForm::buildWindow() {
    setObjectName(QStringLiteral("ScheduleOverviewForm"));
    auto* outer = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;

    auto* left = new QVBoxLayout;
    auto* navigation = new QHBoxLayout;
    PreviousMonthCmd = new QPushButton(this);
    PreviousMonthCmd->setObjectName(QStringLiteral("PreviousMonthCmd"));
    MonthLabel = new QLabel(this);
    MonthLabel->setObjectName(QStringLiteral("MonthLabel"));
    MonthLabel->setAlignment(Qt::AlignCenter);
    QFont big = MonthLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    MonthLabel->setFont(big);
    NextMonthCmd = new QPushButton(this);
    NextMonthCmd->setObjectName(QStringLiteral("NextMonthCmd"));
    navigation->addWidget(PreviousMonthCmd);
    navigation->addWidget(MonthLabel, 1);
    navigation->addWidget(NextMonthCmd);
    left->addLayout(navigation);
    Calendar = new MonthCalendar(this);
    Calendar->setObjectName(QStringLiteral("MonthCalendar"));
    left->addWidget(Calendar, 1);
    top->addLayout(left, 1);

    auto* right = new QVBoxLayout;
    DayFrame = new QGroupBox(this);
    DayFrame->setObjectName(QStringLiteral("DayFrame"));
    auto* dayLayout = new QVBoxLayout(DayFrame);
    Strip = new DayStrip(DayFrame);
    Strip->setObjectName(QStringLiteral("DayStrip"));
    StripArea = new QScrollArea(DayFrame);
    StripArea->setObjectName(QStringLiteral("DayStripArea"));
    StripArea->setWidget(Strip);
    StripArea->setWidgetResizable(true);
    StripArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    dayLayout->addWidget(StripArea, 1);
    StripArea->setMinimumHeight(5 * (fontMetrics().height() + 8) + 2 * StripArea->frameWidth());
    right->addWidget(DayFrame, 1);

    PlaysFrame = new QGroupBox(this);
    PlaysFrame->setObjectName(QStringLiteral("PlaysFrame"));
    auto* playsLayout = new QVBoxLayout(PlaysFrame);
    PlaysList = new QListWidget(PlaysFrame);
    PlaysList->setObjectName(QStringLiteral("PlaysList"));
    PlaysList->setFont(FixedPitchFont());
    playsLayout->addWidget(PlaysList);
    right->addWidget(PlaysFrame, 2);
    top->addLayout(right, 1);
    outer->addLayout(top, 3);

    ProblemsFrame = new QGroupBox(this);
    ProblemsFrame->setObjectName(QStringLiteral("ProblemsFrame"));
    auto* problemsLayout = new QVBoxLayout(ProblemsFrame);
    ProblemsList = new QListView(ProblemsFrame);
    ProblemsList->setObjectName(QStringLiteral("ProblemsList"));
    // One line each: the view lays out tens of thousands of rows without measuring each.
    ProblemsList->setUniformItemSizes(true);
    ProblemsList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    problemRows_ = new ProblemRows(ProblemsList);
    ProblemsList->setModel(problemRows_);
    problemsLayout->addWidget(ProblemsList);
    outer->addWidget(ProblemsFrame, 1);

    auto* close = new QShortcut(QKeySequence::Close, this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    connect(PreviousMonthCmd, &QPushButton::clicked, this, [this] { stepMonth(-1); });
    connect(NextMonthCmd, &QPushButton::clicked, this, [this] { stepMonth(1); });
    connect(Calendar, &MonthCalendar::monthStepped, this, &ScheduleOverviewForm::stepMonth);
    connect(Calendar, &MonthCalendar::daySelected, this, [this](int day) {
        day_ = day;
        showSelectedDay();
    });
    connect(ProblemsList, &QListView::doubleClicked, this, [this](const QModelIndex& index) {
        // Rows of a schedule before the latest edit may point at other entries than they name.
        const int row = index.row();
        if (!findingsPending_ && row >= 0 && row < static_cast<int>(problems_.size()))
            emit entryChosen(problems_[static_cast<std::size_t>(row)].entry);
    });
}

void ScheduleOverviewForm::InitScheduleOverviewFormOsd() {
    const ScreenTexts& texts = context_.texts;
    const auto text = [&texts](TextId id) { return screenText(texts, id); };
    setWindowTitle(text(TextId::TextScheduleOverview));
    PreviousMonthCmd->setText(text(TextId::TextPreviousMonth));
    NextMonthCmd->setText(text(TextId::TextNextMonth));
    PlaysFrame->setTitle(text(TextId::TextWhatPlays));
    ProblemsFrame->setTitle(text(TextId::TextProblems));
    QStringList days;
    for (int day = 0; day < 7; ++day)
        days << text(WeekDayTextId(day));
    Calendar->setWeekDayNames(days);
    Calendar->setDayDescriber([&texts](const DayMarks& marks) {
        QStringList parts;
        if (marks.today)
            parts << screenText(texts, TextId::TextToday);
        QStringList inForce;
        for (const int i : marks.advance)
            inForce << toQt(EntryLabel(EntryId::advance(i), texts));
        parts << (inForce.isEmpty() ? screenText(texts, TextId::TextBasicSchedule)
                                    : inForce.join(QStringLiteral(", ")));
        if (marks.overlap)
            parts << screenText(texts, TextId::TextPeriodsOverlap);
        return parts.join(QStringLiteral("; "));
    });

    // Buttons and frames speak their captions; the rest is named here.
    PreviousMonthCmd->setAccessibleName(text(TextId::TextPreviousMonth));
    NextMonthCmd->setAccessibleName(text(TextId::TextNextMonth));
    Calendar->setAccessibleName(text(TextId::TextMonthCalendar));
    Strip->setAccessibleName(text(TextId::TextDayStrip));
    StripArea->setAccessibleName(text(TextId::TextDayStrip));
    PlaysList->setAccessibleName(text(TextId::TextWhatPlays));
    ProblemsList->setAccessibleName(text(TextId::TextProblems));
}

CivilDate ScheduleOverviewForm::today() const {
    const QDate d = context_.clock.today();
    return {d.year(), d.month(), d.day()};
}

void ScheduleOverviewForm::refresh() {
    findProblems();
    showMonth();
    // The folders may have changed as well; their listing follows when it comes, one at a time.
    media_.refresh();
}

void ScheduleOverviewForm::scheduleChanged(bool periodsChanged) {
    findProblems();
    if (periodsChanged)
        showMonth();
    else
        showSelectedDay();
}

void ScheduleOverviewForm::findProblems() {
    const unsigned generation = ++generation_;
    findingsPending_ = true;
    // Greyed until the rows of this schedule come: the ones shown are of the schedule before.
    problemRows_->setStale();
    // The worker owns copies of all it reads; the folder listing is never changed once made.
    RunInBackground<Findings>(
        [schedule = context_.state.schedule, today = today(), media = listed_,
         judge = media_.judgeCopy(context_.texts),
         texts = std::make_shared<const ScreenTexts>(context_.texts)] {
            Findings found;
            // Until the first listing comes back, no file counts as missing.
            found.problems = FindScheduleProblems(
                schedule, today,
                [&media](const std::string& name) { return media == nullptr || media->contains(name); },
                judge);
            found.rows.reserve(static_cast<qsizetype>(found.problems.size()));
            for (const ScheduleProblem& p : found.problems)
                found.rows << toQt(ProblemText(p, *texts));
            if (found.rows.isEmpty())
                found.rows << screenText(*texts, TextId::TextNoProblems);
            return found;
        },
        this,
        [this, generation](Findings found) {
            // A later search is under way: its answer is the one to show.
            if (generation != generation_)
                return;
            problems_ = std::move(found.problems);
            problemRows_->setRows(std::move(found.rows));
            findingsPending_ = false;
            if (wantedEntry_ >= 0)
                selectProblemOf(std::exchange(wantedEntry_, -1));
            emit problemsShown();
        });
}

void ScheduleOverviewForm::stepMonth(int step) {
    month_ += step;
    if (month_ < 1) {
        month_ = 12;
        --year_;
    } else if (month_ > 12) {
        month_ = 1;
        ++year_;
    }
    showMonth();
}

void ScheduleOverviewForm::showDay(const CivilDate& date) {
    year_ = date.year;
    month_ = date.month;
    day_ = date.day;
    showMonth();
}

void ScheduleOverviewForm::showMonth() {
    day_ = std::min(day_, DaysOfMonth(year_, month_));
    MonthLabel->setText(QStringLiteral("%1/%2").arg(year_).arg(month_, 2, 10, QLatin1Char('0')));
    Calendar->setMonth(MonthMarks(context_.state.schedule, year_, month_, today()), day_);
    showSelectedDay();
}

void ScheduleOverviewForm::showSelectedDay() {
    const Schedule& s = context_.state.schedule;
    const ScreenTexts& texts = context_.texts;
    const CivilDate date = shownDay();
    const QString dayText =
        shownDate(date) + QStringLiteral("   ") + screenText(texts, WeekDayTextId(WeekDayOf(date)));
    DayFrame->setTitle(dayText);

    std::vector<DayBar> bars;
    for (const int i : AdvanceEntriesInForce(s, date, std::nullopt)) {
        const AdvanceEntry& e = s.advanceEntries[static_cast<std::size_t>(i)];
        const int first = SecondOfDay(StartTimeOf(e));
        const int last = SecondOfDay(StopTimeOf(e));
        const QString label = toQt(EntryLabel(EntryId::advance(i), texts));
        bars.push_back({i, first, last,
                        label + QStringLiteral(": ") + toQt(FormatAdvanceRow(e)) + QStringLiteral("   ") +
                            timeWindow(first, last),
                        label});
    }
    const std::vector<PlaySpan> plan = DayPlan(s, date);

    // The painted views say in words what they show.
    QStringList inForce;
    for (const DayBar& b : bars)
        inForce << b.shortLabel;
    Calendar->setAccessibleDescription(dayText + QStringLiteral(": ") + inForce.join(QStringLiteral(", ")));
    QStringList spans;
    for (const PlaySpan& span : plan)
        spans << timeWindow(span.first, span.last) + QLatin1Char(' ') +
                     (span.advance < 0 ? screenText(texts, TextId::TextBasicSchedule)
                                       : toQt(EntryLabel(EntryId::advance(span.advance), texts)));
    Strip->setAccessibleDescription(spans.join(QStringLiteral("; ")));

    PlaysList->clear();
    QStringList rows;
    const auto files = [&rows](const std::vector<FileEntry>& entries, int count) {
        for (int k = 0; k < count && k < static_cast<int>(entries.size()); ++k)
            rows << QStringLiteral("    ") + toQt(FormatFileRow(entries[static_cast<std::size_t>(k)]));
    };
    // " · 2 files · 8 s" once the files are examined; nothing before.
    const auto length = [this, &texts](const std::vector<FileEntry>& entries, int count) {
        const auto end = entries.begin() + std::clamp(count, 0, static_cast<int>(entries.size()));
        const std::string text = media_.listLength(std::vector<FileEntry>(entries.begin(), end), texts);
        return text.empty() ? QString() : QStringLiteral(" · ") + toQt(text);
    };
    // The strip tells on hover what each span's header here tells.
    std::vector<QString> heads;
    for (const PlaySpan& span : plan) {
        heads.emplace_back();
        if (span.advance < 0) {
            heads.back() = timeWindow(span.first, span.last) + QStringLiteral("   ") +
                           screenText(texts, TextId::TextBasicSchedule) +
                           length(s.basicEntries, s.basicCount);
            rows << heads.back();
            files(s.basicEntries, s.basicCount);
        } else if (span.advance < advanceCountOf(s)) {
            const AdvanceEntry& e = s.advanceEntries[static_cast<std::size_t>(span.advance)];
            heads.back() = timeWindow(span.first, span.last) + QStringLiteral("   ") +
                           toQt(EntryLabel(EntryId::advance(span.advance), texts)) + QStringLiteral(": ") +
                           toQt(FormatAdvanceRow(e)) + length(e.files, e.fileCount);
            rows << heads.back();
            files(e.files, e.fileCount);
        }
    }
    PlaysList->addItems(rows);
    Strip->setDay(plan, bars, screenText(texts, TextId::TextBasicSchedule), std::move(heads));
}

void ScheduleOverviewForm::showAdvanceEntry(int index) {
    const Schedule& s = context_.state.schedule;
    if (index < 0 || index >= advanceCountOf(s))
        return;
    // The problems shown may be of the schedule before the latest edit: the entry's own days now, its
    // first problem once this schedule's are found.
    if (findingsPending_) {
        wantedEntry_ = index;
        showEntryDays(index, std::nullopt);
        return;
    }
    selectProblemOf(index);
}

void ScheduleOverviewForm::selectProblemOf(int index) {
    if (index < 0 || index >= advanceCountOf(context_.state.schedule))
        return;
    int firstProblem = -1;
    for (std::size_t i = 0; i < problems_.size(); ++i) {
        const ScheduleProblem& p = problems_[i];
        const bool about = (p.entry.kind == EntryId::Kind::Advance && p.entry.index == index) ||
                           (p.kind == ProblemKind::Overlap && p.other == index);
        if (about) {
            firstProblem = static_cast<int>(i);
            break;
        }
    }
    const ScheduleProblem* first =
        firstProblem >= 0 ? &problems_[static_cast<std::size_t>(firstProblem)] : nullptr;
    showEntryDays(index, first != nullptr && first->kind == ProblemKind::Overlap
                             ? std::optional<CivilDate>(first->overlap.firstDay)
                             : std::nullopt);
    if (firstProblem >= 0)
        ProblemsList->setCurrentIndex(problemRows_->index(firstProblem));
}

void ScheduleOverviewForm::showEntryDays(int index, const std::optional<CivilDate>& overlapDay) {
    const AdvanceEntry& e = context_.state.schedule.advanceEntries[static_cast<std::size_t>(index)];
    CivilDate day = StartDateOf(e);
    if (overlapDay)
        day = *overlapDay;
    else if (e.weekDay < kWeekDayAll)
        // The first day of its range that is its week day, when there is one.
        for (long n = DayNumber(StartDateOf(e));
             n <= DayNumber(StopDateOf(e)) && n < DayNumber(StartDateOf(e)) + 7; ++n)
            if (WeekDayOf(DateOfDayNumber(n)) == e.weekDay) {
                day = DateOfDayNumber(n);
                break;
            }
    if (IsValidCivilDate(day))
        showDay(day);
}

} // namespace velmo
