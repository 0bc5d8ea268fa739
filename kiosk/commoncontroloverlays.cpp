// The common widget's overlays: the progress animation, the round-bar
// countdown inside a page frame, the self-closing warning window and the
// maintenance page.

#include "kiosk/commoncontrol.h"

#include <QBoxLayout>
#include <QDebug>
#include <QGuiApplication>
#include <QLabel>
#include <QMovie>
#include <QScreen>

bool commoncontrol::processVisible = false;
QLabel* commoncontrol::MaintainMsgLab = nullptr;
QWidget* commoncontrol::MaintainMsgWidg = nullptr;

namespace {

// The overlay windows float above the pages without a frame of their own.
void makeOverlayWindow(QWidget* window)
{
    window->setWindowOpacity(0.8);
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    window->setContentsMargins(0, 0, 0, 0);
}

template <typename T>
void logAndDelete(const char* name, T*& object)
{
    qDebug().noquote() << name << static_cast<const void*>(object);
    if (!object)
        return;
    qDebug().noquote() << name << static_cast<const void*>(object);
    delete object;
    object = nullptr;
}

QLabel* whiteLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFont(font);
    label->setText(text);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setStyleSheet(QStringLiteral("color:white;"));
    return label;
}

} // namespace

void commoncontrol::displayProcess()
{
    if (processVisible) {
        qDebug() << "process is visavle";
        return;
    }
    processVisible = true;
    if (!ProcessWidg)
        ProcessWidg = new QWidget(nullptr);

    ProcessWidg->setWindowModality(Qt::ApplicationModal);
    // 300 pixels on the 1920-pixel design screen.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int screenWidth = screen ? screen->availableGeometry().width() : 1920;
    const int side = screenWidth * 300 / 1920;
    ProcessWidg->setFixedSize(side, side);
    ProcessWidg->setAttribute(Qt::WA_TranslucentBackground);

    if (!ProcessLabel) {
        ProcessLabel = new QLabel(ProcessWidg);
        ProcessLabel->resize(ProcessWidg->size());
    }
    makeOverlayWindow(ProcessWidg);
    ProcessLabel->setContentsMargins(0, 0, 0, 0);

    if (!ProcessMovie) {
        ProcessMovie = new QMovie(QStringLiteral("./resource/pic/Process.gif"));
        ProcessMovie->setScaledSize(ProcessLabel->size());
    }
    ProcessLabel->setMovie(ProcessMovie);
    ProcessMovie->start();
    ProcessWidg->show();
    qDebug() << "process is displayProcess";
}

void commoncontrol::DeleteProcess()
{
    qDebug() << "DeleteProcess";
    if (!processVisible) {
        qDebug() << "process is not visavle";
        return;
    }
    processVisible = false;
    qDebug() << "process is DeleteProcess";
    if (ProcessWidg)
        ProcessWidg->hide();
    logAndDelete("ProcessMovie", ProcessMovie);
    logAndDelete("ProcessLabel", ProcessLabel);
    logAndDelete("ProcessWidg", ProcessWidg);
}

bool commoncontrol::displayRoundProcess(QWidget* frame)
{
    qDebug() << "displayRoundProcess::showFrame " << frame;
    if (!frame) {
        qCritical() << "showFrame is NULL";
        return false;
    }
    if (!mRoundBar) {
        mRoundBar = new QLabel(frame);
        QPalette palette = mRoundBar->palette();
        palette.setBrush(QPalette::WindowText, QBrush(Qt::white));
        mRoundBar->setPalette(palette);
        setWidgetFont(mRoundBar, 17, QStringLiteral("./font/HiraginoSansCNS-W6.otf"));
        qDebug() << "rect1" << frame->rect();
        mRoundSeconds = 60;
        mRoundBar->hide();
    }
    mRoundBar->resize(frame->size());
    return true;
}

bool commoncontrol::showRoundBar()
{
    if (!mRoundBar)
        return false;
    mRoundBar->show();
    return true;
}

void commoncontrol::hideRoundBar()
{
    if (!mRoundBar)
        return;
    mRoundBar->hide();
    qDebug() << "mRoundBar-hide-";
}

int commoncontrol::setRoundBarSeconds(int seconds)
{
    // One more than asked: the next tick shows the requested count.
    mRoundSeconds = seconds + 1;
    return mRoundSeconds;
}

int commoncontrol::tickRoundBar()
{
    if (!mRoundBar)
        return -1;
    --mRoundSeconds;
    if (mRoundSeconds > 300)
        mRoundSeconds = 0;
    mRoundBar->setText(QStringLiteral("%1:%2")
                           .arg(mRoundSeconds / 60, 2, 10, QLatin1Char('0'))
                           .arg(mRoundSeconds % 60, 2, 10, QLatin1Char('0')));
    return mRoundSeconds;
}

void commoncontrol::displayWarnMsg(const QString& message, int seconds)
{
    DeleteProcess();
    if (CountdownLabel) {
        qDebug() << "displayWarnMsg: delete CountdownLabel, goon---";
        CountdownLabel->hide();
        delete CountdownLabel;
        CountdownLabel = nullptr;
    }
    if (WarnMsgWidg) {
        qDebug() << "WarnMsgWidg is already visavle,delete WarnMsgWidg, goon--";
        WarnMsgWidg->hide();
        delete WarnMsgWidg;
        WarnMsgWidg = nullptr;
    }

    WarnMsgWidg = new QWidget(nullptr);
    WarnMsgWidg->setWindowModality(Qt::ApplicationModal);
    WarnMsgWidg->setAttribute(Qt::WA_StyledBackground);
    WarnMsgWidg->setStyleSheet(QStringLiteral("background-color: rgb(14,26,24)"));
    WarnMsgWidg->setFixedSize(480, 330);
    makeOverlayWindow(WarnMsgWidg);

    const QFont headFont(QStringLiteral("xx"), 15, 75, false);
    QLabel* title = whiteLabel(QStringLiteral("warn"), headFont, WarnMsgWidg);
    CountdownLabel = whiteLabel(QString::number(seconds), headFont, WarnMsgWidg);
    QLabel* text = whiteLabel(message, QFont(QStringLiteral("Microsoft YaHei"), 20, QFont::Bold),
                              WarnMsgWidg);

    auto* head = new QHBoxLayout;
    head->addWidget(title);
    head->addStretch();
    head->addWidget(CountdownLabel);
    auto* outer = new QVBoxLayout(WarnMsgWidg);
    outer->addLayout(head, 1);
    outer->addWidget(text, 5);
    outer->setContentsMargins(0, 0, 0, 0);

    WarnMsgWidg->show();
    mWarnSeconds = seconds;
}

void commoncontrol::startWarnTimer(bool connectTimeout)
{
    if (mWarnTimer.isActive())
        mWarnTimer.stop();
    if (connectTimeout)
        connect(&mWarnTimer, &QTimer::timeout, this, &commoncontrol::doProcessWarnPageTimeout,
                Qt::UniqueConnection);
    mWarnTimer.setSingleShot(false);
    mWarnTimer.start(1000);
}

void commoncontrol::doProcessWarnPageTimeout()
{
    if (mWarnSeconds > 0) {
        --mWarnSeconds;
        if (CountdownLabel)
            CountdownLabel->setText(QString::number(mWarnSeconds));
    }
    if (mWarnSeconds == 0) {
        if (mWarnTimer.isActive())
            mWarnTimer.stop();
        deleteWarnMsg();
    }
}

void commoncontrol::deleteWarnMsg()
{
    if (CountdownLabel) {
        CountdownLabel->hide();
        delete CountdownLabel;
        CountdownLabel = nullptr;
    }
    if (WarnMsgWidg) {
        WarnMsgWidg->hide();
        delete WarnMsgWidg;
        WarnMsgWidg = nullptr;
    }
}

void commoncontrol::deleteMaintenacePage()
{
    if (MaintainMsgLab) {
        MaintainMsgLab->hide();
        delete MaintainMsgLab;
        MaintainMsgLab = nullptr;
        qDebug() << "deleteMaintenacePage: delete MaintainMsgLab--";
    }
    if (MaintainMsgWidg) {
        MaintainMsgWidg->hide();
        delete MaintainMsgWidg;
        MaintainMsgWidg = nullptr;
        qDebug() << "deleteMaintenacePage: delete MaintainMsgWidg--";
    }
    qDebug() << "deleteMaintenacePage---over--------";
}
