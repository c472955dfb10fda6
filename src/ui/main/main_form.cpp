#include "main_form.h"

#include "edit_commands.h"
#include "rules/schedule_rules.h"
#include "shape_bar.h"

#include "model/app_state.h"
#include "model/file_system.h"
#include "model/schedule_file.h"
#include "model/settings.h"
#include "texts/screen_texts.h"
#include "ui/about/about_company_form.h"
#include "ui/about/about_velmo_schedule_generator_form.h"
#include "ui/editors/advance_schedule_edit_form.h"
#include "ui/editors/schedule_edit_form.h"
#include "ui/overview/overview_hooks.h"
#include "ui/platform/app_context.h"
#include "ui/platform/prompts.h"
#include "ui/platform/ui_text.h"
#include "ui/platform/volumes.h"
#include "ui/publish/write_to_medium_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#ifndef VELMO_NO_SVG
#include <QSvgRenderer>
#endif
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace velmo {

namespace {

const QString kOpenFilter = QStringLiteral("Velmo Schedule Reference File(*.vlm)|*.vlm");
const QString kSaveAsFilter = QStringLiteral("Schedule File(*.vlm)|*.vlm");

constexpr int kKeepTimerInterval = 100;
constexpr std::array<QRgb, 8> kInitialStripColours = {qRgb(0, 0, 255),     qRgb(0, 255, 255), qRgb(0, 255, 0),
                                                      qRgb(255, 255, 0),   qRgb(255, 128, 0), qRgb(255, 0, 0),
                                                      qRgb(128, 128, 128), qRgb(255, 0, 255)};

// Characters of the row texts each column caption stands above: name | play count | volume, and
// start date | stop date | week day.
constexpr std::array<int, 3> kFileColumns = {23, 10, 10};
constexpr std::array<int, 3> kAdvanceColumns = {12, 12, 12};
constexpr int kRowCharacters = 43;
constexpr int kVisibleRows = 8;
constexpr int kCommandButtonWidth = 88;
constexpr QSize kInitialSize(1040, 680);
// Pixels from the list's edge to the first character of a row.
constexpr int kRowTextIndent = 3;

void processPendingEvents() {
    QCoreApplication::processEvents();
}

// The name the existence test found the file under, so it is that file that is read or replaced.
std::string nameOnDisk(const std::string& directory, const std::string& name) {
    return ExistingFileName(directory, name).value_or(name);
}

void swapRowTexts(QListWidget* list, int a, int b) {
    const QString text = list->item(a)->text();
    list->item(a)->setText(list->item(b)->text());
    list->item(b)->setText(text);
}

// Swaps the selected entry with its neighbour (direction -1 up, +1 down), the model's records and
// the rows' texts alike. The row the entry moved to, or -1 when nothing moved.
template <typename Entry>
int moveSelected(QListWidget* list, std::vector<Entry>& entries, int count, int direction) {
    const int selected = list->currentRow();
    const int rows = list->count();
    const int target = selected + direction;
    if (selected < 0 || rows <= 1 || target < 0 || target >= rows)
        return -1;
    if (!SwapEntries(entries, count, selected, target))
        return -1;
    swapRowTexts(list, selected, target);
    return target;
}

// Removes the selected entry and its row; later rows move up. The row to select afterwards, -1 when
// the list is now empty, -2 when nothing was removed.
template <typename Entry>
int removeSelected(QListWidget* list, std::vector<Entry>& entries, std::int16_t& count) {
    const int selected = list->currentRow();
    const int rows = list->count();
    if (selected < 0 || rows < 1)
        return -2;
    if (!RemoveEntry(entries, count, selected))
        return -2;
    for (int i = selected; i < rows - 1; ++i)
        list->item(i)->setText(list->item(i + 1)->text());
    delete list->takeItem(rows - 1);
    if (list->count() == 0)
        return -1;
    return std::min(selected, list->count() - 1);
}

void fillList(QListWidget* list, const std::vector<std::string>& rows) {
    list->clear();
    if (rows.empty())
        return;
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(rows.size()));
    for (const std::string& row : rows)
        texts.append(toQt(row));
    // One insertion for all rows: the view then lays out and signals once instead of once a row.
    list->addItems(texts);
    list->setCurrentRow(0);
}

// The commands take the selected row as the entry index, so a row stays selected while any exists
// (a Ctrl+click would otherwise clear it). Queued, so that it looks only once the list has settled.
void keepOneRowSelected(QListWidget* list) {
    QObject::connect(
        list->selectionModel(), &QItemSelectionModel::selectionChanged, list,
        [list] {
            if (list->selectedItems().isEmpty() && list->currentItem() != nullptr)
                list->currentItem()->setSelected(true);
        },
        Qt::QueuedConnection);
}

#ifdef VELMO_NO_SVG
// Without the SVG module: the logo as a bitmap drawn from the same SVG at twice its size.
QPixmap logoPixmap(qreal devicePixelRatio) {
    QImage image(QStringLiteral(":/velmo/velmo_logo@2x.png"), "PNG");
    const QSize size = image.size() / 2;
    QPixmap pixmap = QPixmap::fromImage(
        image.scaled(size * devicePixelRatio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}
#else
QPixmap logoPixmap(qreal devicePixelRatio) {
    QSvgRenderer renderer(QStringLiteral(":/velmo/velmo_logo.svg"));
    const QSize size = renderer.defaultSize();
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}
#endif

} // namespace

MainForm::MainForm(AppContext& context, const std::string& programDir, QWidget* parent)
    : QMainWindow(parent), context_(context) {
    buildWindow();
    connectHandlers();
    edits_ = new EditCommands(context_,
                              {this, mainLists(),
                               [this] {
                                   ShowBasicList();
                                   ShowAdvanceList();
                                   ShowDetailList();
                                   ButtonStatusSetup();
                               },
                               [this] { UpdateMainCaption(); }, [this] { return SaveSchedule(false); }},
                              menuBar(), subFile);
    Form_Load(programDir);
    overview_ = new ScheduleOverviewHooks(context_, *this);
    edits_->started();
    resize(minimumSizeHint().expandedTo(kInitialSize));
}

MainForm::~MainForm() = default;

// ---------------------------------------------------------------------------------------------
// Window composition

void MainForm::buildWindow() {
    setObjectName(QStringLiteral("MainForm"));
    buildMenus();

    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);

    auto* top = new QHBoxLayout;
    VelmoLogoImage = new QLabel(central);
    VelmoLogoImage->setObjectName(QStringLiteral("VelmoLogoImage"));
    VelmoLogoImage->setPixmap(logoPixmap(devicePixelRatioF()));
    VelmoLogoImage->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    top->addWidget(VelmoLogoImage);
    top->addSpacing(16);

    const std::array<std::pair<QPushButton**, const char*>, 5> fileButtons = {{{&NewCmd, "NewCmd"},
                                                                               {&OpenCmd, "OpenCmd"},
                                                                               {&SaveCmd, "SaveCmd"},
                                                                               {&SaveAsCmd, "SaveAsCmd"},
                                                                               {&ExitCmd, "ExitCmd"}}};
    for (const auto& [button, name] : fileButtons) {
        *button = new QPushButton(central);
        (*button)->setObjectName(QString::fromLatin1(name));
        (*button)->setMinimumWidth(kCommandButtonWidth);
        top->addWidget(*button);
    }
    top->addStretch(1);

    auto* strip = new QHBoxLayout;
    strip->setSpacing(3);
    // Index 7 leftmost, index 0 rightmost.
    for (int i = 0; i < 8; ++i)
        Shape1[static_cast<std::size_t>(i)] =
            new ShapeBar(QColor(kInitialStripColours[static_cast<std::size_t>(i)]), central);
    for (int i = 7; i >= 0; --i) {
        Shape1[static_cast<std::size_t>(i)]->setObjectName(QStringLiteral("Shape1_%1").arg(i));
        // Decoration only; named so a screen reader does not announce a nameless object.
        Shape1[static_cast<std::size_t>(i)]->setAccessibleName(
            QStringLiteral("Colour strip, bar %1").arg(8 - i));
        strip->addWidget(Shape1[static_cast<std::size_t>(i)]);
    }
    top->addLayout(strip);
    outer->addLayout(top);

    NormalFrame = buildListFrame(
        "NormalFrame", NormalList, "NormalList", {&BasicFileNameCmd, &BasicPlayTimesCmd, &BasicVolumeCmd},
        {"BasicFileNameCmd", "BasicPlayTimesCmd", "BasicVolumeCmd"}, kFileColumns,
        {&NormalAddCmd, &NormalModifyCmd, &NormalMoveUpCmd, &NormalMoveDownCmd, &NormalRemoveCmd},
        {"NormalAddCmd", "NormalModifyCmd", "NormalMoveUpCmd", "NormalMoveDownCmd", "NormalRemoveCmd"});
    AdvanceFrame = buildListFrame(
        "AdvanceFrame", AdvanceList, "AdvanceList", {&StartDateCmd, &StopDateCmd, &WeekDayCmd},
        {"StartDateCmd", "StopDateCmd", "WeekDayCmd"}, kAdvanceColumns,
        {&AdvanceAddCmd, &AdvanceModifyCmd, &AdvanceMoveUpCmd, &AdvanceMoveDownCmd, &AdvanceRemoveCmd},
        {"AdvanceAddCmd", "AdvanceModifyCmd", "AdvanceMoveUpCmd", "AdvanceMoveDownCmd", "AdvanceRemoveCmd"});
    DetailFrame = buildListFrame(
        "DetailFrame", DetailList, "DetailList", {&DetailFileNameCmd, &DetailPlayTimesCmd, &DetailVolumeCmd},
        {"DetailFileNameCmd", "DetailPlayTimesCmd", "DetailVolumeCmd"}, kFileColumns,
        {&DetailAddCmd, &DetailModifyCmd, &DetailMoveUpCmd, &DetailMoveDownCmd, &DetailRemoveCmd},
        {"DetailAddCmd", "DetailModifyCmd", "DetailMoveUpCmd", "DetailMoveDownCmd", "DetailRemoveCmd"});

    auto* lists = new QHBoxLayout;
    lists->addWidget(NormalFrame, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(AdvanceFrame, 1);
    right->addWidget(DetailFrame, 1);
    lists->addLayout(right, 1);
    outer->addLayout(lists, 1);
    setCentralWidget(central);

    // Tab walks the file commands, then each list followed by its commands.
    QWidget* const tabOrder[] = {
        NewCmd,        OpenCmd,          SaveCmd,          SaveAsCmd,          ExitCmd,          NormalList,
        NormalAddCmd,  NormalModifyCmd,  NormalMoveUpCmd,  NormalMoveDownCmd,  NormalRemoveCmd,  AdvanceList,
        AdvanceAddCmd, AdvanceModifyCmd, AdvanceMoveUpCmd, AdvanceMoveDownCmd, AdvanceRemoveCmd, DetailList,
        DetailAddCmd,  DetailModifyCmd,  DetailMoveUpCmd,  DetailMoveDownCmd,  DetailRemoveCmd};
    for (std::size_t i = 1; i < std::size(tabOrder); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    KeepTimer = new QTimer(this);
    KeepTimer->setObjectName(QStringLiteral("KeepTimer"));
    KeepTimer->setInterval(kKeepTimerInterval);
    KeepTimer->start();
}

void MainForm::buildMenus() {
    subFile = menuBar()->addMenu(QString());
    subFile->setObjectName(QStringLiteral("subFile"));
    subNew = subFile->addAction(QString());
    subOpen = subFile->addAction(QString());
    subFile->addSeparator();
    subSave = subFile->addAction(QString());
    subSaveAs = subFile->addAction(QString());
    subWriteToMedium = subFile->addAction(QString());
    subWriteToMedium->setObjectName(QStringLiteral("subWriteToMedium"));
    subWriteToMedium->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
    connect(subWriteToMedium, &QAction::triggered, this, &MainForm::subWriteToMedium_Click);
    subFile->addSeparator();
    subExit = subFile->addAction(QString());

    subHelp = menuBar()->addMenu(QString());
    subHelp->setObjectName(QStringLiteral("subHelp"));
    subAboutVelmoScheduleGenerator = subHelp->addAction(QString());
    subAboutCompany = subHelp->addAction(QString());

    subNew->setObjectName(QStringLiteral("subNew"));
    subOpen->setObjectName(QStringLiteral("subOpen"));
    subSave->setObjectName(QStringLiteral("subSave"));
    subSaveAs->setObjectName(QStringLiteral("subSaveAs"));
    subExit->setObjectName(QStringLiteral("subExit"));
    subAboutVelmoScheduleGenerator->setObjectName(QStringLiteral("subAboutVelmoScheduleGenerator"));
    subAboutCompany->setObjectName(QStringLiteral("subAboutCompany"));

    subNew->setShortcut(QKeySequence::New);
    subOpen->setShortcut(QKeySequence::Open);
    subSave->setShortcut(QKeySequence::Save);
    subSaveAs->setShortcut(QKeySequence::SaveAs);
    subExit->setShortcut(QKeySequence::Quit);
}

QGroupBox* MainForm::buildListFrame(const char* frameName, QListWidget*& list, const char* listName,
                                    const std::array<QPushButton**, 3>& headers,
                                    const std::array<const char*, 3>& headerNames,
                                    const std::array<int, 3>& headerColumns,
                                    const std::array<QPushButton**, 5>& commands,
                                    const std::array<const char*, 5>& commandNames) {
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QString::fromLatin1(frameName));
    auto* layout = new QVBoxLayout(frame);
    layout->setSpacing(4);

    list = new QListWidget(frame);
    list->setObjectName(QString::fromLatin1(listName));
    list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setSortingEnabled(false);
    list->setUniformItemSizes(true);
    keepOneRowSelected(list);

    // Column captions that stand above the fields of the row texts; they have no action. Their
    // widths follow the fixed-pitch columns, and grow only if a caption would not fit.
    const int characterWidth = QFontMetrics(list->font()).horizontalAdvance(QLatin1Char('0'));
    auto* headerRow = new QHBoxLayout;
    headerRow->setSpacing(0);
    for (std::size_t i = 0; i < headers.size(); ++i) {
        auto* header = new QPushButton(frame);
        header->setObjectName(QString::fromLatin1(headerNames[i]));
        header->setFocusPolicy(Qt::NoFocus);
        header->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        header->setProperty("columnWidth", characterWidth * headerColumns[i] + (i == 0 ? kRowTextIndent : 0));
        *headers[i] = header;
        headerRow->addWidget(header);
    }
    headerRow->addStretch(1);
    layout->addLayout(headerRow);

    const int frameWidth = list->frameWidth() * 2;
    list->setMinimumWidth(characterWidth * kRowCharacters + frameWidth +
                          list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
    list->setMinimumHeight(QFontMetrics(list->font()).lineSpacing() * kVisibleRows + frameWidth);
    layout->addWidget(list, 1);

    auto* commandRow = new QHBoxLayout;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        auto* button = new QPushButton(frame);
        button->setObjectName(QString::fromLatin1(commandNames[i]));
        button->setMinimumWidth(kCommandButtonWidth);
        *commands[i] = button;
        commandRow->addWidget(button);
    }
    layout->addLayout(commandRow);
    return frame;
}

void MainForm::connectHandlers() {
    connect(NewCmd, &QPushButton::clicked, this, &MainForm::NewCmd_Click);
    connect(OpenCmd, &QPushButton::clicked, this, &MainForm::OpenCmd_Click);
    connect(SaveCmd, &QPushButton::clicked, this, &MainForm::SaveCmd_Click);
    connect(SaveAsCmd, &QPushButton::clicked, this, &MainForm::SaveAsCmd_Click);
    connect(ExitCmd, &QPushButton::clicked, this, &MainForm::ExitCmd_Click);
    connect(subNew, &QAction::triggered, this, &MainForm::subNew_Click);
    connect(subOpen, &QAction::triggered, this, &MainForm::subOpen_Click);
    connect(subSave, &QAction::triggered, this, &MainForm::subSave_Click);
    connect(subSaveAs, &QAction::triggered, this, &MainForm::subSaveAs_Click);
    connect(subExit, &QAction::triggered, this, &MainForm::subExit_Click);
    connect(subAboutVelmoScheduleGenerator, &QAction::triggered, this,
            &MainForm::subAboutVelmoScheduleGenerator_Click);
    connect(subAboutCompany, &QAction::triggered, this, &MainForm::subAboutCompany_Click);

    // Every change to the schedule goes through the undo history.
    const auto undoable = [this](TextId label, EntryRef::List list, void (MainForm::*handler)()) {
        return [this, label, list, handler] {
            edits_->record(label, list, [this, handler] { (this->*handler)(); });
        };
    };
    connect(NormalAddCmd, &QPushButton::clicked, this,
            undoable(TextId::TextAdd, EntryRef::List::Basic, &MainForm::NormalAddCmd_Click));
    connect(NormalModifyCmd, &QPushButton::clicked, this,
            undoable(TextId::TextModify, EntryRef::List::Basic, &MainForm::NormalModifyCmd_Click));
    connect(NormalMoveUpCmd, &QPushButton::clicked, this,
            undoable(TextId::TextMoveUp, EntryRef::List::Basic, &MainForm::NormalMoveUpCmd_Click));
    connect(NormalMoveDownCmd, &QPushButton::clicked, this,
            undoable(TextId::TextMoveDown, EntryRef::List::Basic, &MainForm::NormalMoveDownCmd_Click));
    connect(NormalRemoveCmd, &QPushButton::clicked, this,
            undoable(TextId::TextRemove, EntryRef::List::Basic, &MainForm::NormalRemoveCmd_Click));
    connect(AdvanceAddCmd, &QPushButton::clicked, this,
            undoable(TextId::TextAdd, EntryRef::List::Advance, &MainForm::AdvanceAddCmd_Click));
    connect(AdvanceModifyCmd, &QPushButton::clicked, this,
            undoable(TextId::TextModify, EntryRef::List::Advance, &MainForm::AdvanceModifyCmd_Click));
    connect(AdvanceMoveUpCmd, &QPushButton::clicked, this,
            undoable(TextId::TextMoveUp, EntryRef::List::Advance, &MainForm::AdvanceMoveUpCmd_Click));
    connect(AdvanceMoveDownCmd, &QPushButton::clicked, this,
            undoable(TextId::TextMoveDown, EntryRef::List::Advance, &MainForm::AdvanceMoveDownCmd_Click));
    connect(AdvanceRemoveCmd, &QPushButton::clicked, this,
            undoable(TextId::TextRemove, EntryRef::List::Advance, &MainForm::AdvanceRemoveCmd_Click));
    connect(DetailAddCmd, &QPushButton::clicked, this,
            undoable(TextId::TextAdd, EntryRef::List::Detail, &MainForm::DetailAddCmd_Click));
    connect(DetailModifyCmd, &QPushButton::clicked, this,
            undoable(TextId::TextModify, EntryRef::List::Detail, &MainForm::DetailModifyCmd_Click));
    connect(DetailMoveUpCmd, &QPushButton::clicked, this,
            undoable(TextId::TextMoveUp, EntryRef::List::Detail, &MainForm::DetailMoveUpCmd_Click));
    connect(DetailMoveDownCmd, &QPushButton::clicked, this,
            undoable(TextId::TextMoveDown, EntryRef::List::Detail, &MainForm::DetailMoveDownCmd_Click));
    connect(DetailRemoveCmd, &QPushButton::clicked, this,
            undoable(TextId::TextRemove, EntryRef::List::Detail, &MainForm::DetailRemoveCmd_Click));

    // A double click on a row does what the list's Modify button does, when that button would.
    const auto modifyOnDoubleClick = [this](QListWidget* list, QPushButton* modify) {
        connect(list, &QListWidget::itemDoubleClicked, this, [modify] {
            if (modify->isEnabled())
                modify->click();
        });
    };
    modifyOnDoubleClick(NormalList, NormalModifyCmd);
    modifyOnDoubleClick(AdvanceList, AdvanceModifyCmd);
    modifyOnDoubleClick(DetailList, DetailModifyCmd);

    // Whoever sets the row (a click, a refill, a move, an editor), the details follow.
    connect(AdvanceList, &QListWidget::currentRowChanged, this, [this](int) { AdvanceList_Click(); });

    connect(KeepTimer, &QTimer::timeout, this, &MainForm::KeepTimer_Timer);
}

void MainForm::InitMainFormOsd() {
    const ScreenTexts& texts = context_.texts;
    auto text = [&texts](TextId id) { return screenText(texts, id); };

    subFile->setTitle(text(TextId::TextMenuFile));
    subHelp->setTitle(text(TextId::TextMenuHelp));
    subNew->setText(text(TextId::TextNew));
    subOpen->setText(text(TextId::TextOpen));
    subSave->setText(text(TextId::TextSave));
    subSaveAs->setText(text(TextId::TextSaveAs));
    subWriteToMedium->setText(text(TextId::TextWriteToMedium));
    subExit->setText(text(TextId::TextExit));
    subAboutVelmoScheduleGenerator->setText(text(TextId::TextAboutProduct));
    subAboutCompany->setText(text(TextId::TextAboutCompany));

    NewCmd->setText(text(TextId::TextNew));
    OpenCmd->setText(text(TextId::TextOpen));
    SaveCmd->setText(text(TextId::TextSave));
    SaveAsCmd->setText(text(TextId::TextSaveAs));
    ExitCmd->setText(text(TextId::TextExit));

    NormalFrame->setTitle(text(TextId::TextBasicSchedule));
    AdvanceFrame->setTitle(text(TextId::TextAdvanceSchedule));
    DetailFrame->setTitle(text(TextId::TextDetailOfAdvanceSchedule));

    for (auto* button : {NormalAddCmd, AdvanceAddCmd, DetailAddCmd})
        button->setText(text(TextId::TextAdd));
    for (auto* button : {NormalModifyCmd, AdvanceModifyCmd, DetailModifyCmd})
        button->setText(text(TextId::TextModify));
    for (auto* button : {NormalRemoveCmd, AdvanceRemoveCmd, DetailRemoveCmd})
        button->setText(text(TextId::TextRemove));
    for (auto* button : {NormalMoveUpCmd, AdvanceMoveUpCmd, DetailMoveUpCmd})
        button->setText(text(TextId::TextMoveUp));
    for (auto* button : {NormalMoveDownCmd, AdvanceMoveDownCmd, DetailMoveDownCmd})
        button->setText(text(TextId::TextMoveDown));

    BasicFileNameCmd->setText(text(TextId::TextFileName));
    BasicPlayTimesCmd->setText(text(TextId::TextPlayTimes));
    BasicVolumeCmd->setText(text(TextId::TextVolume));
    DetailFileNameCmd->setText(text(TextId::TextFileName));
    DetailPlayTimesCmd->setText(text(TextId::TextPlayTimes));
    DetailVolumeCmd->setText(text(TextId::TextVolume));
    StartDateCmd->setText(text(TextId::TextStartDay));
    StopDateCmd->setText(text(TextId::TextStopDay));
    WeekDayCmd->setText(text(TextId::TextWeekDay));

    // What a screen reader announces: each list by its frame's caption, with its columns.
    const QString fileColumns = text(TextId::TextFileName) + QStringLiteral(", ") +
                                text(TextId::TextPlayTimes) + QStringLiteral(", ") + text(TextId::TextVolume);
    NormalList->setAccessibleName(text(TextId::TextBasicSchedule));
    NormalList->setAccessibleDescription(fileColumns);
    AdvanceList->setAccessibleName(text(TextId::TextAdvanceSchedule));
    AdvanceList->setAccessibleDescription(text(TextId::TextStartDay) + QStringLiteral(", ") +
                                          text(TextId::TextStopDay) + QStringLiteral(", ") +
                                          text(TextId::TextWeekDay));
    DetailList->setAccessibleName(text(TextId::TextDetailOfAdvanceSchedule));
    DetailList->setAccessibleDescription(fileColumns);
    VelmoLogoImage->setAccessibleName(text(TextId::TextProductName));

    for (QPushButton* header : {BasicFileNameCmd, BasicPlayTimesCmd, BasicVolumeCmd, DetailFileNameCmd,
                                DetailPlayTimesCmd, DetailVolumeCmd, StartDateCmd, StopDateCmd, WeekDayCmd})
        header->setFixedWidth(std::max(header->property("columnWidth").toInt(), header->sizeHint().width()));
}

// ---------------------------------------------------------------------------------------------
// Start-up and shutdown

void MainForm::Form_Load(const std::string& programDir) {
    // The random source was seeded from the clock by whoever built the context.
    InitPaths(programDir);
    // The screen texts are not loaded yet, so the settings error speaks English.
    ReadSettings(context_.state,
                 [this] { context_.prompts.message(this, toQt(EnglishText(TextId::MsgSystemInfoError))); });
    if (context_.state.copyDrive.empty()) {
        std::vector<std::string> mountPoints;
        for (const Volume& volume : context_.volumes.volumes())
            mountPoints.push_back(fromQt(volume.mountPoint));
        context_.state.copyDrive = MountPointOf(context_.state.appPath, mountPoints);
    }
    context_.texts.SelectScreenTexts(context_.state.languageSelector);
    InitMainFormOsd();
    LoadCurrentSchedule();
    ButtonStatusSetup();
}

void MainForm::InitPaths(const std::string& programDir) {
    AppState& state = context_.state;
    state.appPath = WithTrailingSeparator(programDir);
    state.openDir = state.appPath;
    state.saveDir = state.appPath;
    state.scheduleDir = state.appPath;
    state.scheduleFileName = std::string(kDefaultScheduleBaseName) + "." + kScheduleExtension;
    state.mediaDir = state.appPath;
    // The drive holding the program is found after the settings are read, and only if they name
    // none: listing the mounted volumes is a slow part of start-up.
    state.copyDrive.clear();
    state.copyDir = state.appPath;
    state.languageSelector = 1;
}

void MainForm::LoadCurrentSchedule() {
    AppState& state = context_.state;
    if (!FileExistsInDir(state.scheduleDir, state.scheduleFileName)) {
        NewSchedule();
        return;
    }
    state.scheduleFileName = nameOnDisk(state.scheduleDir, state.scheduleFileName);
    if (!ReadScheduleFile(state.scheduleDir, state.scheduleFileName, state.schedule)) {
        // A damaged file is left alone; a later Save goes to a fresh name.
        showMessage(TextId::MsgFileReadError);
        NewSchedule();
        return;
    }
    ShowBasicList();
    ShowAdvanceList();
    ShowDetailList();
    state.openDir = state.scheduleDir;
    UpdateMainCaption();
}

void MainForm::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        // A session that ends cannot wait for an answer; its changes went to the recovery file.
        if (!edits_->sessionEnding()) {
            if (!edits_->confirmClose() && !edits_->sessionEnding()) {
                event->ignore();
                return;
            }
            if (!edits_->sessionEnding())
                edits_->closedNormally();
        }
        unloaded_ = true;
        Form_Unload();
    }
    event->accept();
}

void MainForm::EndSession() {
    if (!unloaded_)
        edits_->endSession();
    close();
}

void MainForm::Form_Unload() {
    KeepTimer->stop();
    // The program ends whatever happens here; a settings file that cannot be written is only lost.
    const Result written = WriteSettings(context_.state);
    if (!written)
        std::fprintf(stderr, "velmo-schedule-generator: settings not saved: %s\n", written.reason.c_str());
}

void MainForm::KeepTimer_Timer() {
    const QColor first = Shape1[0]->fillColor();
    for (std::size_t i = 0; i + 1 < Shape1.size(); ++i)
        Shape1[i]->setFillColor(Shape1[i + 1]->fillColor());
    Shape1[7]->setFillColor(first);
}

// ---------------------------------------------------------------------------------------------
// Lists

void MainForm::ShowBasicList() {
    const Schedule& schedule = context_.state.schedule;
    std::vector<std::string> rows;
    const int count =
        std::min(static_cast<int>(schedule.basicCount), static_cast<int>(schedule.basicEntries.size()));
    for (int i = 0; i < count; ++i)
        rows.push_back(FormatFileRow(schedule.basicEntries[static_cast<std::size_t>(i)]));
    fillList(NormalList, rows);
}

void MainForm::ShowAdvanceList() {
    const Schedule& schedule = context_.state.schedule;
    std::vector<std::string> rows;
    const int count =
        std::min(static_cast<int>(schedule.advanceCount), static_cast<int>(schedule.advanceEntries.size()));
    for (int i = 0; i < count; ++i)
        rows.push_back(FormatAdvanceRow(schedule.advanceEntries[static_cast<std::size_t>(i)]));
    // Selecting row 0 runs AdvanceList_Click, which fills DetailList.
    fillList(AdvanceList, rows);
}

void MainForm::ShowDetailList() {
    std::vector<std::string> rows;
    if (const AdvanceEntry* entry = selectedAdvanceEntry()) {
        const int count = std::min(static_cast<int>(entry->fileCount), static_cast<int>(entry->files.size()));
        for (int i = 0; i < count; ++i)
            rows.push_back(FormatFileRow(entry->files[static_cast<std::size_t>(i)]));
    }
    fillList(DetailList, rows);
}

void MainForm::AdvanceList_Click() {
    ShowDetailList();
    ButtonStatusSetup();
}

AdvanceEntry* MainForm::selectedAdvanceEntry() {
    Schedule& schedule = context_.state.schedule;
    const int row = AdvanceList->currentRow();
    if (row < 0 || row >= schedule.advanceCount || row >= static_cast<int>(schedule.advanceEntries.size()))
        return nullptr;
    return &schedule.advanceEntries[static_cast<std::size_t>(row)];
}

void MainForm::selectAdvanceRow(int row) {
    const bool unchanged = AdvanceList->currentRow() == row;
    AdvanceList->setCurrentRow(row);
    if (unchanged)
        AdvanceList_Click();
}

void MainForm::ButtonStatusSetup() {
    auto apply = [](int rows, QPushButton* add, QPushButton* modify, QPushButton* remove, QPushButton* up,
                    QPushButton* down) {
        add->setEnabled(true);
        modify->setEnabled(rows >= 1);
        remove->setEnabled(rows >= 1);
        up->setEnabled(rows >= 2);
        down->setEnabled(rows >= 2);
    };
    NormalList->setEnabled(true);
    AdvanceList->setEnabled(true);
    apply(NormalList->count(), NormalAddCmd, NormalModifyCmd, NormalRemoveCmd, NormalMoveUpCmd,
          NormalMoveDownCmd);
    apply(AdvanceList->count(), AdvanceAddCmd, AdvanceModifyCmd, AdvanceRemoveCmd, AdvanceMoveUpCmd,
          AdvanceMoveDownCmd);
    if (AdvanceList->count() == 0) {
        for (auto* button :
             {DetailAddCmd, DetailModifyCmd, DetailRemoveCmd, DetailMoveUpCmd, DetailMoveDownCmd})
            button->setEnabled(false);
    } else {
        apply(DetailList->count(), DetailAddCmd, DetailModifyCmd, DetailRemoveCmd, DetailMoveUpCmd,
              DetailMoveDownCmd);
    }
}

MainLists MainForm::mainLists() {
    return MainLists{NormalList, AdvanceList, DetailList, [this] { ButtonStatusSetup(); },
                     [this](int row) { selectAdvanceRow(row); }};
}

// ---------------------------------------------------------------------------------------------
// New schedule and caption

void MainForm::NewSchedule() {
    AppState& state = context_.state;
    state.scheduleDir = state.appPath;
    // Listed once: a folder of thousands of earlier default names must not make this slow.
    const DirectorySnapshot folder(state.scheduleDir);
    state.scheduleFileName = FreeScheduleName(
        [&folder](const std::string& name) { return folder.contains(name); }, processPendingEvents);
    ClearSchedule(state.schedule);
    NormalList->clear();
    AdvanceList->clear();
    DetailList->clear();
    ButtonStatusSetup();
    UpdateMainCaption();
}

void MainForm::UpdateMainCaption() {
    const AppState& state = context_.state;
    QString caption = screenText(context_.texts, TextId::TextProductName) + QStringLiteral(" - ") +
                      toQt(state.scheduleDir + state.scheduleFileName);
    // "[*]" is the window's modified-mark placeholder; doubled it shows as itself.
    caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(caption);
}

// ---------------------------------------------------------------------------------------------
// File commands

void MainForm::showMessage(TextId id) {
    context_.prompts.message(this, screenText(context_.texts, id));
}

bool MainForm::OpenSchedule() {
    AppState& state = context_.state;
    std::string directory = state.openDir;
    std::string name;
    if (!ShowOpenDialog(directory, name))
        return false;
    // The model is replaced only by a file that decodes completely.
    if (!ReadScheduleFile(directory, name, state.schedule)) {
        showMessage(TextId::MsgFileReadError);
        return false;
    }
    ShowBasicList();
    ShowAdvanceList();
    ShowDetailList();
    state.openDir = directory;
    state.scheduleDir = directory;
    state.scheduleFileName = name;
    ButtonStatusSetup();
    UpdateMainCaption();
    return true;
}

bool MainForm::ShowOpenDialog(std::string& directory, std::string& name) {
    for (;;) {
        const std::optional<QString> chosen =
            context_.prompts.openFile(this, kOpenFilter, toQt(directory), toQt(name));
        if (!chosen)
            return false;
        const std::string path = fromQt(*chosen);
        directory = PathDirectory(path);
        name = ApplyScheduleExtension(PathFileName(path));
        if (FileExistsInDir(directory, name)) {
            name = nameOnDisk(directory, name);
            return true;
        }
        showMessage(TextId::MsgFileNotFound);
        processPendingEvents();
    }
}

bool MainForm::writeSchedule(const std::string& directory, const std::string& name) {
    // The old file stays whole until the new one is complete, so nothing is deleted first.
    const Result written = WriteScheduleFile(directory, name, context_.state.schedule, context_.random);
    if (!written) {
        showMessage(TextId::MsgFileSaveError);
        return false;
    }
    overview_->scheduleSaved();
    return true;
}

bool MainForm::SaveSchedule(bool saveAs) {
    if (!CheckScheduleSavable())
        return false;
    AppState& state = context_.state;
    std::string directory = state.scheduleDir;
    std::string name = state.scheduleFileName;
    if (!saveAs && FileExistsInDir(directory, name)) {
        name = nameOnDisk(directory, name);
        if (!writeSchedule(directory, name))
            return false;
        state.scheduleFileName = name;
        UpdateMainCaption();
        edits_->markClean();
        return true;
    }
    directory = state.saveDir;
    name = state.scheduleFileName;
    if (!ShowSaveAsDialog(directory, name))
        return false;
    if (!writeSchedule(directory, name))
        return false;
    state.scheduleDir = directory;
    state.scheduleFileName = name;
    state.saveDir = directory;
    UpdateMainCaption();
    edits_->markClean();
    return true;
}

bool MainForm::CheckScheduleSavable() {
    if (const std::optional<std::string> refusal =
            ScheduleSaveRefusal(context_.state.schedule, context_.texts)) {
        context_.prompts.message(this, toQt(*refusal));
        return false;
    }
    return true;
}

bool MainForm::ShowSaveAsDialog(std::string& directory, std::string& name) {
    for (;;) {
        const std::optional<QString> chosen =
            context_.prompts.saveFile(this, kSaveAsFilter, toQt(directory), toQt(name));
        if (!chosen)
            return false;
        const std::string path = fromQt(*chosen);
        directory = PathDirectory(path);
        name = ApplyScheduleExtension(PathFileName(path));
        // A hidden file is no file to the existence test, but it is still never replaced unasked.
        const std::optional<std::string> existing = ExistingFileName(directory, name);
        if (!FileExistsInDir(directory, name) && !existing)
            return true;
        if (context_.prompts.askYesNo(this, screenText(context_.texts, TextId::MsgFileExistsOverwrite))) {
            name = existing.value_or(name);
            return true;
        }
        processPendingEvents();
    }
}

void MainForm::newCommand() {
    if (!edits_->confirmClose())
        return;
    edits_->record(TextId::TextNew, EntryRef::List::None, [this] { NewSchedule(); });
    edits_->markClean();
}

void MainForm::openCommand() {
    if (!edits_->confirmClose())
        return;
    bool opened = false;
    edits_->record(TextId::TextOpen, EntryRef::List::None, [this, &opened] { opened = OpenSchedule(); });
    if (opened)
        edits_->markClean();
}

void MainForm::NewCmd_Click() {
    newCommand();
}
void MainForm::OpenCmd_Click() {
    openCommand();
}
void MainForm::SaveCmd_Click() {
    SaveSchedule(false);
}
void MainForm::SaveAsCmd_Click() {
    SaveSchedule(true);
}
void MainForm::ExitCmd_Click() {
    close();
}
void MainForm::subNew_Click() {
    newCommand();
}
void MainForm::subOpen_Click() {
    openCommand();
}
void MainForm::subSave_Click() {
    SaveSchedule(false);
}
void MainForm::subSaveAs_Click() {
    SaveSchedule(true);
}
void MainForm::subExit_Click() {
    close();
}

void MainForm::subAboutVelmoScheduleGenerator_Click() {
    AboutVelmoScheduleGeneratorForm form(context_, this);
    form.exec();
}

void MainForm::subWriteToMedium_Click() {
    if (!CheckScheduleSavable())
        return;
    const std::string& appPath = context_.state.appPath;
    PublishSettings settings = ReadPublishSettings(appPath);
    WriteToMediumForm form(context_, settings, this);
    form.exec();
    // Remembering is a convenience: a failure costs the next run its starting place only.
    WritePublishSettings(appPath, settings);
}

void MainForm::subAboutCompany_Click() {
    AboutCompanyForm form(context_, this);
    form.exec();
}

// ---------------------------------------------------------------------------------------------
// List commands

void MainForm::openScheduleEditor() {
    ScheduleEditForm form(context_, mainLists(), this);
    form.exec();
}

void MainForm::openAdvanceEditor() {
    AdvanceScheduleEditForm form(context_, mainLists(), this);
    if (form.exec() == QDialog::Accepted)
        overview_->advanceEntryStored(AdvanceList->currentRow());
}

void MainForm::NormalAddCmd_Click() {
    context_.state.editMode = AppState::kEditAdd;
    if (context_.state.schedule.basicCount >= kMaxBasicEntries) {
        showMessage(TextId::MsgTooManyBasic);
        return;
    }
    openScheduleEditor();
}

void MainForm::NormalModifyCmd_Click() {
    context_.state.editMode = AppState::kEditModify;
    openScheduleEditor();
}

void MainForm::NormalMoveUpCmd_Click() {
    Schedule& schedule = context_.state.schedule;
    const int row = moveSelected(NormalList, schedule.basicEntries, schedule.basicCount, -1);
    if (row >= 0)
        NormalList->setCurrentRow(row);
}

void MainForm::NormalMoveDownCmd_Click() {
    Schedule& schedule = context_.state.schedule;
    const int row = moveSelected(NormalList, schedule.basicEntries, schedule.basicCount, +1);
    if (row >= 0)
        NormalList->setCurrentRow(row);
}

void MainForm::NormalRemoveCmd_Click() {
    Schedule& schedule = context_.state.schedule;
    const int row = removeSelected(NormalList, schedule.basicEntries, schedule.basicCount);
    if (row == -2)
        return;
    if (row >= 0)
        NormalList->setCurrentRow(row);
    ButtonStatusSetup();
}

void MainForm::AdvanceAddCmd_Click() {
    context_.state.editMode = AppState::kEditAdd;
    if (context_.state.schedule.advanceCount >= kMaxAdvanceEntries) {
        showMessage(TextId::MsgTooManyBasic);
        return;
    }
    openAdvanceEditor();
}

void MainForm::AdvanceModifyCmd_Click() {
    context_.state.editMode = AppState::kEditModify;
    openAdvanceEditor();
}

void MainForm::AdvanceMoveUpCmd_Click() {
    Schedule& schedule = context_.state.schedule;
    const int row = moveSelected(AdvanceList, schedule.advanceEntries, schedule.advanceCount, -1);
    if (row >= 0)
        selectAdvanceRow(row);
}

void MainForm::AdvanceMoveDownCmd_Click() {
    Schedule& schedule = context_.state.schedule;
    const int row = moveSelected(AdvanceList, schedule.advanceEntries, schedule.advanceCount, +1);
    if (row >= 0)
        selectAdvanceRow(row);
}

void MainForm::AdvanceRemoveCmd_Click() {
    Schedule& schedule = context_.state.schedule;
    const int row = removeSelected(AdvanceList, schedule.advanceEntries, schedule.advanceCount);
    if (row == -2)
        return;
    if (row >= 0)
        selectAdvanceRow(row);
    else
        DetailList->clear();
    ButtonStatusSetup();
}

void MainForm::DetailAddCmd_Click() {
    context_.state.editMode = AppState::kEditAddDetail;
    const AdvanceEntry* entry = selectedAdvanceEntry();
    if (entry == nullptr)
        return;
    if (entry->fileCount >= kMaxDetailEntries) {
        showMessage(TextId::MsgTooManyBasic);
        return;
    }
    openScheduleEditor();
}

void MainForm::DetailModifyCmd_Click() {
    context_.state.editMode = AppState::kEditModifyDetail;
    openScheduleEditor();
}

void MainForm::DetailMoveUpCmd_Click() {
    AdvanceEntry* entry = selectedAdvanceEntry();
    if (entry == nullptr)
        return;
    const int row = moveSelected(DetailList, entry->files, entry->fileCount, -1);
    if (row >= 0)
        DetailList->setCurrentRow(row);
}

void MainForm::DetailMoveDownCmd_Click() {
    AdvanceEntry* entry = selectedAdvanceEntry();
    if (entry == nullptr)
        return;
    const int row = moveSelected(DetailList, entry->files, entry->fileCount, +1);
    if (row >= 0)
        DetailList->setCurrentRow(row);
}

void MainForm::DetailRemoveCmd_Click() {
    AdvanceEntry* entry = selectedAdvanceEntry();
    if (entry == nullptr)
        return;
    const int row = removeSelected(DetailList, entry->files, entry->fileCount);
    if (row == -2)
        return;
    if (row >= 0)
        DetailList->setCurrentRow(row);
    ButtonStatusSetup();
}

} // namespace velmo
