#include "ui/TraceLogWindow.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTextBlock>
#include <QVBoxLayout>
#include <QtMath>

#include <algorithm>

#include "ui/WholeFile.h"

namespace mervane {

namespace {

QString suggestedPath() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString folder = QFileInfo(documents).isDir() ? documents : QDir::homePath();
    return QDir(folder).filePath(QStringLiteral("mervane-log.txt"));
}

QString askWithFileDialog(QWidget& owner, const QString& suggested) {
    return QFileDialog::getSaveFileName(&owner, TraceLogWindow::tr("通信ログの保存"), suggested,
                                        TraceLogWindow::tr("テキスト (*.txt *.log)"));
}

}  // namespace

TraceLogWindow::TraceLogWindow(QWidget& owner, Report report)
    : QWidget(&owner, Qt::Window),
      owner_(owner),
      report_(std::move(report)),
      view_(new QPlainTextEdit(this)),
      saveButton_(new QPushButton(tr("保存..."), this)),
      clearButton_(new QPushButton(tr("クリア"), this)) {
    setObjectName(QStringLiteral("TraceLogWindow"));
    setWindowTitle(tr("通信ログ"));
    view_->setObjectName(QStringLiteral("TraceView"));
    saveButton_->setObjectName(QStringLiteral("TraceSaveButton"));
    clearButton_->setObjectName(QStringLiteral("TraceClearButton"));

    view_->setReadOnly(true);
    view_->setMaximumBlockCount(kMaxLines);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // At first wide enough for a request of the longest kind without scrolling sideways; on a
    // narrow screen it may shrink to stay clear of the main window's controls.
    const QFontMetrics metrics(view_->font());
    const int digit = metrics.horizontalAdvance(QLatin1Char('0'));
    view_->setMinimumSize(digit * 40, metrics.lineSpacing() * 20);
    resize(digit * 100, metrics.lineSpacing() * 24);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(saveButton_);
    buttons->addWidget(clearButton_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(view_);
    layout->addLayout(buttons);
    // The width at which such a request is not cut, chosen over a side with less room.
    const QString request = QStringLiteral(
        "100.000000  255.255.255.255:65535  tcp ->  OI  4 bytes  4F 49 27 C8  |OI'.|");
    const QMargins margins = layout->contentsMargins();
    wholeLineWidth_ = metrics.horizontalAdvance(request) + margins.left() + margins.right() +
                      2 * (view_->frameWidth() + qCeil(view_->document()->documentMargin())) +
                      view_->verticalScrollBar()->sizeHint().width();

    // Following the newest line is the operator's choice alone: left to itself, the view stops
    // following for good when a scroll bar appears or lines arrive while it is hidden.
    QScrollBar* bar = view_->verticalScrollBar();
    connect(bar, &QScrollBar::actionTriggered, this,
            [this, bar] { following_ = bar->sliderPosition() >= bar->maximum(); });
    connect(saveButton_, &QPushButton::clicked, this, &TraceLogWindow::onSave);
    connect(clearButton_, &QPushButton::clicked, this, &TraceLogWindow::onClear);
}

void TraceLogWindow::appendLine(const QString& line) {
    view_->appendPlainText(line);
    if (following_) showNewest();
}

void TraceLogWindow::showNewest() {
    view_->verticalScrollBar()->setValue(view_->verticalScrollBar()->maximum());
}

QStringList TraceLogWindow::lines() const {
    QStringList shown;
    for (QTextBlock block = view_->document()->begin(); block.isValid(); block = block.next())
        shown << block.text();
    // An empty view still has its one empty block.
    if (shown.size() == 1 && shown.front().isEmpty()) shown.clear();
    return shown;
}

void TraceLogWindow::showBesideOwner() {
    if (!placed_) {
        placed_ = true;
        placeBesideOwner();
    }
    show();
    raise();
    activateWindow();
    if (following_) showNewest();
}

void TraceLogWindow::placeBesideOwner() {
    const QRect ownerFrame = owner_.frameGeometry();
    QPoint at(ownerFrame.right() + 1, ownerFrame.top());
    if (const QScreen* screen = owner_.screen()) {
        // Kept on the owner's screen, beside it on the side with room for a whole line (the
        // right when both have it), narrower if need be. A line cut short is of little use: where
        // neither side has room for one, the log keeps a whole line's width on the roomier side,
        // over the owner's edge.
        const QRect room = screen->availableGeometry();
        // Never shown yet, this window's frame is unknown; the owner's is of the same kind.
        const int frameExtra = owner_.frameGeometry().width() - owner_.width();
        const int roomRight = room.right() - ownerFrame.right() - frameExtra;
        const int roomLeft = ownerFrame.left() - room.left() - frameExtra;
        const bool left =
            roomRight < wholeLineWidth_ && (roomLeft >= wholeLineWidth_ || roomLeft > roomRight);
        const int roomBeside = left ? roomLeft : roomRight;
        if (roomBeside < wholeLineWidth_) {
            resize(std::min(wholeLineWidth_, room.width() - frameExtra), height());
        } else if (roomBeside < width()) {
            resize(std::max(roomBeside, minimumSizeHint().width()), height());
        }
        const int frameWidth = width() + frameExtra;
        if (left) at.setX(ownerFrame.left() - frameWidth);
        at.setX(std::max(room.left(), std::min(at.x(), room.right() + 1 - frameWidth)));
        at.setY(std::max(room.top(), std::min(at.y(), room.bottom() + 1 - frameSize().height())));
    }
    move(at);
}

void TraceLogWindow::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    emit closedByOperator();
}

void TraceLogWindow::onSave() {
    const QString path =
        chooser_ ? chooser_(*this, suggestedPath()) : askWithFileDialog(*this, suggestedPath());
    if (path.isEmpty()) return;
    QString text = lines().join(QLatin1Char('\n'));
    if (!text.isEmpty()) text += QLatin1Char('\n');
    // A failed write leaves an older log whole.
    if (!replaceFileWhole(path, text.toUtf8()))
        report_(tr("通信ログを保存できませんでした: %1").arg(path));
}

void TraceLogWindow::onClear() {
    view_->clear();
    following_ = true;
    emit cleared();
}

}  // namespace mervane
