// The form the pictures take inside the program: pixels ready to draw (premultiplied ARGB32 in
// this machine's byte order) behind a 16-byte header ("MPIX", width, height, 0). They are made
// from the SVG art at build time and compressed in the resources, so showing a picture costs a
// decompression, not an SVG parse with text shaping, nor a PNG decode.
#pragma once

#include <QByteArray>
#include <QImage>

QByteArray EncodePixels(const QImage& Picture);
// A null image when Data is not such a picture (wrong header, wrong size).
QImage DecodePixels(const QByteArray& Data);
