// The main window's widgets without the editor behind them: the same menus, the 29 buttons with
// their captions, the three fixed-pitch lists holding the largest schedule's row texts, the group
// frames, the colour strip and the logo drawn from the same SVG, laid out alike and ending at the
// first painted frame. What is left between this and the editor is the editor's own start-up work
// (settings, screen texts, the schedule file, the lock, the window icon, the volume list), which is
// the ratio that says how lean the start-up is. With the argument "png-logo" the logo comes from a
// bitmap instead, to weigh the SVG renderer on its own.

#include "frame_probe.h"
#include "largest_schedule.h"

#include "rules/schedule_rules.h"
#include "ui/main/shape_bar.h"

#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include <array>
#include <cstring>

namespace {

QStringList rowTexts(const std::vector<std::string>& rows) {
    QStringList texts;
    for (const std::string& row : rows)
        texts.append(QString::fromStdString(row));
    return texts;
}

QGroupBox* listFrame(QWidget* parent, const QString& title, const std::array<const char*, 3>& headers,
                     const std::array<int, 3>& columns, const QStringList& rows) {
    auto* frame = new QGroupBox(title, parent);
    auto* layout = new QVBoxLayout(frame);
    layout->setSpacing(4);
    auto* list = new QListWidget(frame);
    list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list->setUniformItemSizes(true);
    const int characterWidth = QFontMetrics(list->font()).horizontalAdvance(QLatin1Char('0'));
    auto* headerRow = new QHBoxLayout;
    headerRow->setSpacing(0);
    for (std::size_t i = 0; i < headers.size(); ++i) {
        auto* header = new QPushButton(QString::fromLatin1(headers[i]), frame);
        header->setFocusPolicy(Qt::NoFocus);
        header->setFixedWidth(
            std::max(characterWidth * columns[i] + (i == 0 ? 3 : 0), header->sizeHint().width()));
        headerRow->addWidget(header);
    }
    headerRow->addStretch(1);
    layout->addLayout(headerRow);
    const int frameWidth = list->frameWidth() * 2;
    list->setMinimumWidth(characterWidth * 43 + frameWidth +
                          list->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 8);
    list->setMinimumHeight(QFontMetrics(list->font()).lineSpacing() * 8 + frameWidth);
    layout->addWidget(list, 1);
    list->addItems(rows);
    list->setCurrentRow(0);
    auto* commandRow = new QHBoxLayout;
    for (const char* caption : {"Add", "Modify", "Move Up", "Move Down", "Remove"}) {
        auto* button = new QPushButton(QString::fromLatin1(caption), frame);
        button->setMinimumWidth(88);
        commandRow->addWidget(button);
    }
    layout->addLayout(commandRow);
    return frame;
}

QPixmap logo(bool fromBitmap, qreal devicePixelRatio) {
    if (fromBitmap) {
        QPixmap pixmap(QStringLiteral(":/bench/velmo_logo.png"));
        return pixmap;
    }
    QSvgRenderer renderer(QStringLiteral(":/bench/velmo_logo.svg"));
    const QSize size = renderer.defaultSize();
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return pixmap;
}

} // namespace

int main(int argc, char** argv) {
    velmo::bench::FrameProbeApplication app(argc, argv);
    velmo::bench::ReportFirstFrameAndClose(app);
    const bool pngLogo = argc > 1 && std::strcmp(argv[1], "png-logo") == 0;

    // The row texts the editor shows for the largest schedule, made before the window as if read.
    const velmo::Schedule schedule = velmo::bench::LargestSchedule();
    std::vector<std::string> basic, advance, detail;
    for (int i = 0; i < schedule.basicCount; ++i)
        basic.push_back(velmo::FormatFileRow(schedule.basicEntries[static_cast<std::size_t>(i)]));
    for (int i = 0; i < schedule.advanceCount; ++i)
        advance.push_back(velmo::FormatAdvanceRow(schedule.advanceEntries[static_cast<std::size_t>(i)]));
    const velmo::AdvanceEntry& first = schedule.advanceEntries.front();
    for (int i = 0; i < first.fileCount; ++i)
        detail.push_back(velmo::FormatFileRow(first.files[static_cast<std::size_t>(i)]));

    QMainWindow window;
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&New"))->setShortcut(QKeySequence::New);
    file->addAction(QStringLiteral("&Open"))->setShortcut(QKeySequence::Open);
    file->addSeparator();
    file->addAction(QStringLiteral("&Save"))->setShortcut(QKeySequence::Save);
    file->addAction(QStringLiteral("Save &As..."))->setShortcut(QKeySequence::SaveAs);
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"))->setShortcut(QKeySequence::Quit);
    QMenu* help = window.menuBar()->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("About Velmo Schedule Generator..."));
    help->addAction(QStringLiteral("About Company..."));

    auto* central = new QWidget(&window);
    auto* outer = new QVBoxLayout(central);
    auto* top = new QHBoxLayout;
    auto* logoLabel = new QLabel(central);
    logoLabel->setPixmap(logo(pngLogo, window.devicePixelRatioF()));
    logoLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    top->addWidget(logoLabel);
    top->addSpacing(16);
    for (const char* caption : {"New", "Open", "Save", "Save As...", "Exit"}) {
        auto* button = new QPushButton(QString::fromLatin1(caption), central);
        button->setMinimumWidth(88);
        top->addWidget(button);
    }
    top->addStretch(1);
    auto* strip = new QHBoxLayout;
    strip->setSpacing(3);
    for (const QRgb colour : {qRgb(255, 0, 255), qRgb(128, 128, 128), qRgb(255, 0, 0), qRgb(255, 128, 0),
                              qRgb(255, 255, 0), qRgb(0, 255, 0), qRgb(0, 255, 255), qRgb(0, 0, 255)})
        strip->addWidget(new velmo::ShapeBar(QColor(colour), central));
    top->addLayout(strip);
    outer->addLayout(top);

    auto* lists = new QHBoxLayout;
    lists->addWidget(listFrame(central, QStringLiteral("Basic Schedule"),
                               {"File Name", "Play Times", "Volume"}, {23, 10, 10}, rowTexts(basic)),
                     1);
    auto* right = new QVBoxLayout;
    right->addWidget(listFrame(central, QStringLiteral("Advance Schedule"),
                               {"Start Day", "Stop Day", "Week Day"}, {12, 12, 12}, rowTexts(advance)),
                     1);
    right->addWidget(listFrame(central, QStringLiteral("Detail of Advance Schedule"),
                               {"File Name", "Play Times", "Volume"}, {23, 10, 10}, rowTexts(detail)),
                     1);
    lists->addLayout(right, 1);
    outer->addLayout(lists, 1);
    window.setCentralWidget(central);
    window.setWindowTitle(QStringLiteral("Velmo Schedule Generator - velmo.vlm"));
    window.resize(window.minimumSizeHint().expandedTo(QSize(1040, 680)));
    window.show();
    return app.exec();
}
