#pragma once
#include <QIcon>
#include <QLabel>
#include <QPixmap>

// The picture in the window's upper right corner and the window icon: a lens sending a beam,
// and the letters "ZEVA" on the emblem.
inline constexpr int kEmblemWidth = 80;
inline constexpr int kEmblemHeight = 26;

// kEmblemWidth x kEmblemHeight logical pixels, opaque
QPixmap emblemPixmap(qreal devicePixelRatio = 1.0);
QIcon appIcon(); // the lens motif at 16, 32, 48, 64 and 256 pixels

// Image1: shows the emblem and reports double clicks, which open the full view.
class EmblemLabel : public QLabel
{
    Q_OBJECT
  public:
    explicit EmblemLabel(QWidget* parent = nullptr);

  Q_SIGNALS:
    void doubleClicked();

  protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
