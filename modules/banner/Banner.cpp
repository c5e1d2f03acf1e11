#include "modules/banner/Banner.h"

#include "engine/MessageLog.h"
#include "engine/NetworkAccess.h"
#include "engine/WidgetUtilities.h"
#include "modules/banner/BannerItem.h"
#include "modules/banner/FileDownloader.h"

#include <QBuffer>
#include <QEvent>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QTime>
#include <QUrl>
#include <QXmlStreamReader>
#include <algorithm>
#include <memory>

namespace {

constexpr int kGap = 5;

bool removeFrom(std::vector<BannerItem*>& items, BannerItem* item)
{
    const auto found = std::find(items.begin(), items.end(), item);
    if (found == items.end())
        return false;
    items.erase(found);
    return true;
}

// A list that parses: well-formed XML under the document element "banners".
bool isBannerList(const QByteArray& data)
{
    QXmlStreamReader xml(data);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("banners"))
        return false;
    while (!xml.atEnd())
        xml.readNext();
    return !xml.hasError();
}

// The picture's size read from its header, before anything is decoded; empty
// for what is not a picture or is too large to decode.
QSize pictureSize(QIODevice* device)
{
    const QSize size = QImageReader(device).size();
    if (size.width() > NetworkAccess::ImageSideLimit || size.height() > NetworkAccess::ImageSideLimit) {
        VLOG << "picture too large" << size;
        return QSize();
    }
    return size;
}

bool isPicture(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    return !pictureSize(&buffer).isEmpty();
}

} // namespace

Banner::Banner(QWidget* parent)
    : Banner(defaultListUrl(), parent)
{
}

Banner::Banner(const QString& listUrl, QWidget* parent)
    : QWidget(parent)
    , listUrl(listUrl)
    , random(quint32(QTime::currentTime().msecsSinceStartOfDay() / 1000))
{
    setFixedHeight(0);
    auto* downloader = new FileDownloader(this);
    downloader->setUrl(listUrl);
    downloader->setContentCheck(isBannerList); // an error page or a picture never replaces the list
    connect(downloader, &FileDownloader::error, this, &Banner::onListError);
    connect(downloader, &FileDownloader::done, this, &Banner::onListDone);
    downloader->download();
}

Banner::~Banner()
{
    for (auto* items : {&incoming, &pool, &visible}) {
        for (BannerItem* item : *items)
            delete item;
        items->clear();
    }
}

QString Banner::defaultListUrl()
{
    return QStringLiteral(VELSPO_SITE_URL "/docs/banners/banner.xml");
}

QString Banner::homePageUrl()
{
    return QStringLiteral(VELSPO_SITE_URL "/");
}

void Banner::applyHeight()
{
    setFixedHeight(visibleCount != 0 ? maxHeight : 0);
}

void Banner::onListError()
{
    applyHeight();
    showDefaultBanner();
}

void Banner::onListDone(const QString& path)
{
    readList(path);
    applyHeight();
    if (incoming.empty()) {
        showDefaultBanner();
        return;
    }
    // A snapshot: loading an item may rotate it out of the list at once.
    const std::vector<BannerItem*> toLoad = incoming;
    for (BannerItem* item : toLoad) {
        if (std::find(incoming.begin(), incoming.end(), item) != incoming.end() && item->state == BannerItem::Waiting)
            loadItem(item);
    }
}

bool Banner::readList(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    QXmlStreamReader xml(&file);
    xml.setNamespaceProcessing(true);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("banners"))
        return false;

    std::vector<std::unique_ptr<BannerItem>> items;
    quint16 newMaxHeight = maxHeight;
    quint8 newVisibleCount = visibleCount;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("banner")) {
            auto item = std::make_unique<BannerItem>();
            bool good = true;
            while (xml.readNextStartElement()) {
                if (!good) {
                    xml.skipCurrentElement(); // the rest of a dropped banner
                } else if (xml.name() == QLatin1String("imgUrl")) {
                    item->imageUrl = xml.readElementText();
                } else if (xml.name() == QLatin1String("linkUrl")) {
                    item->link = xml.readElementText();
                } else if (xml.name() == QLatin1String("showTime")) {
                    item->showTime = qint16(xml.readElementText().toInt(&good, 10));
                } else {
                    xml.skipCurrentElement();
                }
            }
            if (good && QUrl(item->imageUrl).isValid() && QUrl(item->link).isValid())
                items.push_back(std::move(item));
        } else if (xml.name() == QLatin1String("maxHeight")) {
            const int value = xml.readElementText().toInt(nullptr, 10);
            if (value >= 1)
                newMaxHeight = quint16(qMin(value, 0xffff));
        } else if (xml.name() == QLatin1String("visibleBannersCount")) {
            newVisibleCount = quint8(xml.readElementText().toInt(nullptr, 10));
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        return false; // defaults stay, no items
    maxHeight = newMaxHeight;
    visibleCount = newVisibleCount;
    for (auto& item : items)
        incoming.push_back(item.release());
    return true;
}

void Banner::showDefaultBanner()
{
    auto* item = new BannerItem;
    item->localImageFile = QStringLiteral(":/icons/animated_banner.gif");
    item->link = homePageUrl();
    item->showTime = 0;
    incoming.push_back(item);
    makeLabel(item);
}

void Banner::loadItem(BannerItem* item)
{
    if (!item->localImageFile.isEmpty()) {
        makeLabel(item);
        return;
    }
    auto* downloader = new FileDownloader(this);
    downloader->setUrl(item->imageUrl);
    if (downloader->url().fileName() == QUrl(listUrl).fileName()) {
        VLOG << "refused a picture named as the banner list" << item->imageUrl;
        delete downloader;
        item->state = BannerItem::Failed;
        rotate();
        return;
    }
    downloader->setSizeLimit(NetworkAccess::ImageSizeLimit);
    downloader->setContentCheck(isPicture);
    connect(downloader, &FileDownloader::done, this, [this, item](const QString& path) {
        item->localImageFile = path;
        makeLabel(item);
    });
    connect(downloader, &FileDownloader::error, this, [this, item] {
        item->state = BannerItem::Failed;
        rotate();
    });
    downloader->download();
}

void Banner::makeLabel(BannerItem* item)
{
    QFile file(item->localImageFile);
    QSize size = pictureSize(&file);
    file.close();
    if (size.isEmpty()) {
        // Not a picture (a copy from an earlier version), or one too large.
        item->state = BannerItem::Failed;
        rotate();
        return;
    }
    if (maxHeight < size.height()) // multiplied first: integer division would lose the width
        size = QSize(int(qint64(size.width()) * maxHeight / size.height()), maxHeight);
    item->width = quint16(size.width());

    item->label = new QLabel(this);
    item->movie = new QMovie(item->localImageFile, QByteArray(), item->label);
    item->movie->setScaledSize(size);
    item->label->setMovie(item->movie);
    item->label->resize(size);
    if (!item->link.isEmpty())
        item->label->setToolTip(item->link);
    item->movie->start();
    item->label->hide();
    item->label->installEventFilter(this);

    if (item->showTime > 0) {
        item->timer.setSingleShot(true);
        connect(&item->timer, &QTimer::timeout, this, [this, item] {
            item->timer.stop();
            item->label->hide();
            if (removeFrom(visible, item))
                pool.push_back(item);
            rotate();
        });
    }
    item->state = BannerItem::Ready;
    rotate();
}

void Banner::rotate()
{
    const std::vector<BannerItem*> waiting = incoming;
    for (BannerItem* item : waiting) {
        if (item->state == BannerItem::Failed) {
            removeFrom(incoming, item);
            delete item;
        } else if (item->state == BannerItem::Ready) {
            removeFrom(incoming, item);
            (item->showTime < 1 ? visible : pool).push_back(item);
        }
    }

    while (visible.size() < visibleCount) {
        // Only ready items are drawn, so the loop ends when none is left.
        std::vector<BannerItem*> ready;
        std::copy_if(pool.begin(), pool.end(), std::back_inserter(ready),
                     [](const BannerItem* item) { return item->state == BannerItem::Ready; });
        if (ready.empty())
            break;
        BannerItem* item = ready.at(size_t(random.bounded(int(ready.size()))));
        item->timer.start(item->showTime * 1000);
        visible.push_back(item);
        removeFrom(pool, item);
    }

    int x = 0;
    for (BannerItem* item : visible) {
        item->label->move(x, 0);
        item->label->show();
        x += item->width + kGap;
    }
}

bool Banner::eventFilter(QObject* watched, QEvent* event)
{
    if (auto* label = qobject_cast<QLabel*>(watched)) {
        switch (event->type()) {
        case QEvent::Enter:
            setCursor(Qt::PointingHandCursor);
            return true;
        case QEvent::Leave:
            setCursor(Qt::ArrowCursor);
            break;
        case QEvent::MouseButtonRelease:
            // Only web links are opened; an empty one opens nothing.
            openWebLink(QUrl(label->toolTip()));
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}
