#include "kiosk/commoncontrol.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHash>
#include <QLabel>
#include <QSqlDatabase>

#include "kiosk/expirytime.h"
#include "kiosk/kioskreplyparser.h"

int kioskLanguageType = -1;
QString kioskModeString;

qint32 commoncontrol::savedValue = 0;

namespace {

// The selector covers its frame and shows only its picture; the flag and
// the language code are drawn by labels on top of it.
const char kComboStyle[] =
    "QComboBox{border-image: url(./resource/pic/MainPage/homepage_english.png);"
    "color:transparent;font:%1px 黑体;                border-radius: 10px;"
    "border-style: outset;}                QComboBox:drop-down{background: transparent; "
    "color: transparent;}";

// Font files already registered with the application font database, by
// absolute path. The pages apply their fonts again at every language change;
// registering each time would add the same font to the database again and
// again.
int registeredFontId(const QString& fontFile)
{
    static QHash<QString, int> ids;
    const QString path = QFileInfo(fontFile).absoluteFilePath();
    const auto found = ids.constFind(path);
    if (found != ids.constEnd())
        return found.value();
    const int id = QFontDatabase::addApplicationFont(fontFile);
    // A file that is missing now may be installed later, so failures are
    // not remembered; they leave nothing in the database.
    if (id >= 0)
        ids.insert(path, id);
    return id;
}

void fillLanguageItems(QComboBox* box)
{
    box->addItem(QIcon(), commoncontrol::tr("Cambodia"));
    box->addItem(QIcon(), commoncontrol::tr("English"));
    box->addItem(QIcon(), commoncontrol::tr("Chinese"));
}

} // namespace

commoncontrol::commoncontrol(QWidget* parent)
    : QWidget(parent, Qt::WindowFlags())
    , mRecordDb()
    , mWarnTimer(nullptr)
    , mQuery(QString(), QSqlDatabase())
{
    kioskLanguageType = readLanguageType();
    mQuery.clear();
}

commoncontrol::~commoncontrol() = default;

void commoncontrol::displayComboxLang(QWidget* frame, float scale)
{
    if (!frame)
        return;
    const QRect whole(0, 0, frame->width(), frame->height());

    if (!comboxLang) {
        comboxLang = new QComboBox(frame);
        comboxLang->setGeometry(whole);
        comboxLang->setContentsMargins(0, 0, 0, 0);
        comboxLang->setStyleSheet(QString::fromUtf8(kComboStyle).arg(int(scale * 21.0)));
        fillLanguageItems(comboxLang);
        comboxLang->setCurrentIndex(comboxLang->findText(tr("Cambodia")));
        connect(comboxLang, QOverload<int>::of(&QComboBox::activated),
                this, &commoncontrol::onComboxLangChange);
        comboxLang->show();
    } else {
        comboxLang->setGeometry(whole);
        const int current = comboxLang->currentIndex();
        comboxLang->clear();
        fillLanguageItems(comboxLang);
        comboxLang->setCurrentIndex(current);
    }

    if (!mLangCodeLabel) {
        mLangCodeLabel = new QLabel(frame);
        QPalette palette = mLangCodeLabel->palette();
        palette.setBrush(QPalette::WindowText, QBrush(Qt::white));
        mLangCodeLabel->setPalette(palette);
        setWidgetFont(mLangCodeLabel, 10, QStringLiteral("./font/HiraginoSansCNS-W6.otf"));
    }

    if (!mFlagLabel) {
        mFlagLabel = new QLabel(frame);
        auto* flagColumn = new QVBoxLayout;
        flagColumn->addWidget(mFlagLabel, 37);
        flagColumn->addStretch(24);
        auto* codeColumn = new QVBoxLayout;
        codeColumn->addStretch(10);
        codeColumn->addWidget(mLangCodeLabel, 20);
        codeColumn->addStretch(31);
        auto* row = new QHBoxLayout;
        row->addStretch(14);
        row->addLayout(flagColumn, 37);
        row->addStretch(13);
        row->addLayout(codeColumn, 20);
        row->addStretch(38);
        auto* outer = new QVBoxLayout(frame);
        outer->addStretch(23);
        outer->addLayout(row, 61);
    }

    qDebug() << "displayComboxLang::Curlanguage" << kioskLanguageType;
    switch (kioskLanguageType) {
    case 1:
        mLangCodeLabel->setText(tr("EN"));
        mFlagLabel->setStyleSheet(QStringLiteral(
            "QLabel{border-image: url(./resource/pic/NationFlag/deposit_en.png);}"));
        break;
    case 2:
        mLangCodeLabel->setText(tr("CH"));
        mFlagLabel->setStyleSheet(QStringLiteral(
            "QLabel{border-image: url(./resource/pic/NationFlag/deposit_china.png);}"));
        break;
    case 0:
        mLangCodeLabel->setText(tr("KH"));
        mFlagLabel->setStyleSheet(QStringLiteral(
            "QLabel{border-image: url(./resource/pic/NationFlag/deposit_cambodia.png);}"));
        break;
    default:
        break;
    }
}

void commoncontrol::onComboxLangChange(int index)
{
    if (readLanguageType() == index)
        return;
    kioskLanguageType = index;
    // A failed write is logged where it happens; the pages still follow the
    // choice for the rest of this run.
    writeLanguageType(index, true);
    emit upDateLanguage(index);
}

void commoncontrol::deleteComboxLang()
{
    if (!comboxLang)
        return;
    delete comboxLang;
    comboxLang = nullptr;
    qDebug() << "delete comboxLang--";
}

void commoncontrol::fitComboxAndATMID(QWidget* langFrame, QWidget* idFrame)
{
    if (comboxLang && langFrame)
        comboxLang->setGeometry(0, 0, langFrame->width(), langFrame->height());
    if (mATMID && idFrame)
        mATMID->setGeometry(0, 0, idFrame->width(), idFrame->height());
}

void commoncontrol::setWidgetFont(QWidget* widget, int pixelSize, const QString& fontFile)
{
    if (!widget)
        return;
    const int id = registeredFontId(fontFile);
    if (id < 0)
        return;
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty())
        return;
    QFont font;
    font.setFamily(families.first());
    font.setPixelSize(pixelSize);
    if (widget->inherits("QLabel")
        || qstrcmp(widget->metaObject()->className(), "QLineEdit") == 0)
        widget->setFont(font);
}

void commoncontrol::messageHook(QString message)
{
    Q_UNUSED(message);
}

qint32 commoncontrol::getSavedValue() const
{
    return savedValue;
}

void commoncontrol::setSavedValue(qint32 value)
{
    savedValue = value;
}

bool commoncontrol::SplitMessageSimple(const QString& source, const QString& key, QString& value)
{
    return kioskreply::splitMessage(source, key, value,
        [](const QStringList&, const QStringList& selection) {
            qDebug().noquote() << "SplitMessageSimple :: listCheck==" << selection;
        });
}

QString commoncontrol::jsonObjectToString(const QJsonObject& object)
{
    return kioskreply::jsonObjectToString(object);
}

QString commoncontrol::jsonArrayToString(const QJsonArray& array)
{
    return kioskreply::jsonArrayToString(array);
}

QJsonObject commoncontrol::stringToJsonObject(const QString& text)
{
    return kioskreply::stringToJsonObject(text);
}

QJsonArray commoncontrol::stringToJsonArray(const QString& text)
{
    return kioskreply::stringToJsonArray(text);
}

int commoncontrol::caclExpiryTimeToSec(const QString& endTime)
{
    return expirytime::secondsToExpiry(endTime, expirytime::parseEither,
        [](const QDateTime& now, const QDateTime& end, int secs) {
            qDebug().noquote() << "--pylon--caclExpiryTimeToSec--0---start time=" << now.toString(Qt::ISODate)
                               << "-endTime=" << end.toString(Qt::ISODate) << "---expirySecs=" << secs;
        });
}
