// The pictures of the attachment preview: the sound icon, drawn rather
// than shipped, the greyed look of a preview whose group is disabled, and a
// picture fitted into the preview.
#pragma once

#include <QImage>
#include <QSize>

// A note on a speaker-blue disc, 64 x 64, with transparency.
QImage AudioIcon();
// The picture made grey and half transparent.
QImage DisabledLook(const QImage& image);
// The picture scaled down, proportions kept, to fit `box`; a smaller one
// stays as it is.
QImage FitInto(const QImage& image, QSize box);
