// JPEG encoding of a captured picture with libjpeg at the encoder's default settings
// (quality 75, 4:2:0 sampling, baseline).
#pragma once
#include <QByteArray>
#include <QImage>
#include <QString>

// The picture as a complete JPEG file, or an empty array when it cannot be encoded (an
// empty picture or an encoder error; error, when given, then says why). Safe to call on
// any thread.
QByteArray EncodeJpeg(const QImage& image, QString* error = nullptr);
