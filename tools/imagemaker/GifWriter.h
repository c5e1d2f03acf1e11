#pragma once

#include <QImage>
#include <QList>
#include <QString>

// Writes frames of equal size as a looping GIF through giflib: each frame is
// reduced to its own 256-colour table by giflib's quantizer.
bool writeAnimatedGif(const QString& path, const QList<QImage>& frames, int delayMs);
