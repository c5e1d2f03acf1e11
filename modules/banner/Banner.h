#pragma once

#include <QRandomGenerator>
#include <QString>
#include <QWidget>
#include <vector>

class BannerItem;

// A strip of clickable, animated banners fed by the banner list on the
// maker's web server. Banners with a show time take turns; the others stay.
// Without the list (and without a copy from an earlier run) the strip shows
// the default banner only.
class Banner : public QWidget
{
    Q_OBJECT

public:
    explicit Banner(QWidget* parent = nullptr);
    Banner(const QString& listUrl, QWidget* parent);
    ~Banner() override;

    static QString defaultListUrl();
    static QString homePageUrl();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onListDone(const QString& path);
    void onListError();
    bool readList(const QString& path);
    void applyHeight();
    void showDefaultBanner();
    void loadItem(BannerItem* item);
    void makeLabel(BannerItem* item);
    void rotate();

    std::vector<BannerItem*> incoming;
    std::vector<BannerItem*> pool;
    std::vector<BannerItem*> visible;
    quint16 maxHeight = 100;
    quint8 visibleCount = 2;
    QString listUrl;
    QRandomGenerator random;
};
