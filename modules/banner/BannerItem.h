#pragma once

#include <QString>
#include <QTimer>

class QLabel;
class QMovie;

// One banner of the strip, owned by its Banner: where its picture comes from,
// the label that shows it, and how long it stays on show.
class BannerItem
{
public:
    enum State : qint8 { Waiting = 0, Ready = 1, Failed = -1 };

    BannerItem() = default;
    ~BannerItem();
    BannerItem(const BannerItem&) = delete;
    BannerItem& operator=(const BannerItem&) = delete;

    QString link;
    QString imageUrl;
    QString localImageFile;
    QLabel* label = nullptr; // child of the banner; the movie is the label's child
    QMovie* movie = nullptr;
    qint16 showTime = 10;    // seconds; below 1 means always on show
    quint16 width = 0;
    State state = Waiting;
    QTimer timer;
};
