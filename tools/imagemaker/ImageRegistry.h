#pragma once

#include <QPainter>
#include <QSize>
#include <QString>
#include <functional>
#include <vector>

// One image the maker draws: its path below resources/, its size in pixels and
// the function that paints it on a transparent canvas of that size.
struct ImageSpec
{
    QString path;
    QSize size;
    std::function<void(QPainter&, const QSize&)> draw;
};

std::vector<ImageSpec>& imageRegistry();

// An animation the maker draws frame by frame and saves as a looping GIF.
struct AnimationSpec
{
    QString path;
    QSize size;
    int frames;
    int delayMs;
    std::function<void(QPainter&, const QSize&, int frame)> draw;
};

std::vector<AnimationSpec>& animationRegistry();

struct AnimationRegistration
{
    AnimationRegistration(const QString& path, const QSize& size, int frames, int delayMs,
                          std::function<void(QPainter&, const QSize&, int)> draw)
    {
        animationRegistry().push_back({path, size, frames, delayMs, std::move(draw)});
    }
};

// Put one of these at file scope in any .cpp of this folder to add an image:
//   static const ImageRegistration reg("icons/new.png", {32, 32}, drawNew);
struct ImageRegistration
{
    ImageRegistration(const QString& path, const QSize& size, std::function<void(QPainter&, const QSize&)> draw)
    {
        imageRegistry().push_back({path, size, std::move(draw)});
    }
};
